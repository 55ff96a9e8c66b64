// The entries each file of a transfer operation is decided against, found without a
// window.

#include "views/TransferSubmission.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

TListItem Entry(TListName name, std::int64_t size)
{
    TListItem item;
    item.Name = name;
    item.Entry.Size = size;
    return item;
}

TEST(TransferSubmission, RemoteFilesBelowTheShownFolderUseTheCacheOrCountAsNew)
{
    TListingCache cache;
    cache.SetListing("/in/sub/", TDirListing{Entry("x.bin", 70)});
    TShownDestination shown;
    shown.Remote = true;
    shown.Folder = "/in/";
    shown.Entries = std::make_shared<TDirListing>(TDirListing{Entry("x.bin", 500)});
    shown.Cache = &cache;

    EXPECT_EQ(DestinationEntries(shown, "/in/"), shown.Entries);
    EXPECT_EQ(DestinationEntries(shown, "/IN/"), shown.Entries) << "server folders ignore case";
    const auto below = DestinationEntries(shown, "/in/sub/");
    ASSERT_NE(below, nullptr);
    EXPECT_EQ((*below)[0].Entry.Size, 70);
    EXPECT_EQ(DestinationEntries(shown, "/in/other/"), nullptr) << "not listed yet: new";
}

TEST(TransferSubmission, LocalFilesBelowTheShownFolderAreReadFromDisk)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string root = QDir(dir.path()).absolutePath().toStdString() + "/";
    ASSERT_TRUE(QDir().mkpath(dir.filePath("sub")));
    QFile file(dir.filePath("sub/x.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(10, 'x'));
    file.close();

    TShownDestination shown;
    shown.Folder = root;
    shown.Entries = std::make_shared<TDirListing>(TDirListing{Entry("x.bin", 500)});

    // The shown folder too: a view may not have caught up with its folder.
    const auto here = DestinationEntries(shown, root);
    ASSERT_NE(here, nullptr);
    ASSERT_EQ(here->size(), 1u);
    EXPECT_EQ((*here)[0].Name, "sub") << "not the view's stale x.bin";
    const auto below = DestinationEntries(shown, root + "sub/");
    ASSERT_NE(below, nullptr);
    ASSERT_EQ(below->size(), 1u);
    EXPECT_EQ((*below)[0].Name, "x.bin");
    EXPECT_EQ((*below)[0].Entry.Size, 10);
    EXPECT_EQ(DestinationEntries(shown, root + "missing/"), nullptr) << "a folder yet to be made: new";
    EXPECT_NE(DestinationEntries(shown, root + "SUB/"), shown.Entries) << "local folders keep their case";
}

} // namespace
