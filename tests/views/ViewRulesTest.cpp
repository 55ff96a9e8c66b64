#include "views/AllViews.h"
#include "views/HostListModel.h"
#include "views/ListHelpers.h"
#include "views/Masks.h"
#include "views/RemotePaths.h"
#include "views/ViewLog.h"

#include "engine/FTPUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// ---- Key map ----

TEST(KeyMap, EnterOpensOrShowsProperties)
{
    EXPECT_EQ(ListKeyAction(Qt::Key_Return, Qt::NoModifier, false), TKeyAction::Open);
    EXPECT_EQ(ListKeyAction(Qt::Key_Enter, Qt::KeypadModifier, false), TKeyAction::Open);
    EXPECT_EQ(ListKeyAction(Qt::Key_Return, Qt::AltModifier, false), TKeyAction::Properties);
}

TEST(KeyMap, DeleteNeedsASelectionAndShiftSkipsTheQuestion)
{
    EXPECT_EQ(ListKeyAction(Qt::Key_Delete, Qt::NoModifier, false), TKeyAction::None);
    EXPECT_EQ(ListKeyAction(Qt::Key_Delete, Qt::NoModifier, true), TKeyAction::Delete);
    EXPECT_EQ(ListKeyAction(Qt::Key_Delete, Qt::ShiftModifier, true), TKeyAction::DeleteNoConfirm);
}

TEST(KeyMap, LettersNeedControl)
{
    EXPECT_EQ(ListKeyAction(Qt::Key_A, Qt::ControlModifier, false), TKeyAction::SelectAll);
    EXPECT_EQ(ListKeyAction(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, false),
              TKeyAction::InvertSelection);
    EXPECT_EQ(ListKeyAction(Qt::Key_A, Qt::NoModifier, false), TKeyAction::None);
    EXPECT_EQ(ListKeyAction(Qt::Key_C, Qt::ControlModifier, true), TKeyAction::Copy);
    EXPECT_EQ(ListKeyAction(Qt::Key_X, Qt::ControlModifier, true), TKeyAction::Cut);
    EXPECT_EQ(ListKeyAction(Qt::Key_V, Qt::ControlModifier, true), TKeyAction::Paste);
    EXPECT_EQ(ListKeyAction(Qt::Key_V, Qt::NoModifier, true), TKeyAction::None);
}

TEST(KeyMap, FunctionKeysBackspaceAndMenu)
{
    EXPECT_EQ(ListKeyAction(Qt::Key_F2, Qt::ShiftModifier, false), TKeyAction::Rename);
    EXPECT_EQ(ListKeyAction(Qt::Key_F5, Qt::NoModifier, false), TKeyAction::Refresh);
    EXPECT_EQ(ListKeyAction(Qt::Key_Backspace, Qt::NoModifier, false), TKeyAction::FolderUp);
    EXPECT_EQ(ListKeyAction(Qt::Key_Menu, Qt::NoModifier, false), TKeyAction::ContextMenu);
    EXPECT_EQ(ListKeyAction(Qt::Key_Down, Qt::NoModifier, true), TKeyAction::None);
}

// ---- Masks ----

TEST(Masks, CommaTextSplitsAtCommasBlanksAndLineBreaks)
{
    EXPECT_EQ(CommaTextItems("a.txt,b.txt c.txt\rd.txt"),
              QStringList({"a.txt", "b.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(CommaTextItems("\"my file.txt\", x"), QStringList({"my file.txt", "x"}));
    EXPECT_EQ(CommaTextItems(" , ,"), QStringList());
}

TEST(Masks, MaskValueIsStoredLowerCase)
{
    EXPECT_EQ(ParseMaskList("*.TXT"), QStringList({"*.txt"}));
    EXPECT_EQ(ParseMaskList(" *.txt; *.DOC "), QStringList({"*.txt", "*.doc"}));
    EXPECT_TRUE(ParseMaskList("*.*").isEmpty());
    EXPECT_TRUE(ParseMaskList("").isEmpty());
    EXPECT_EQ(JoinMaskList({"*.txt", "*.doc"}), "*.txt;*.doc");
    EXPECT_EQ(JoinMaskList({}), "*.*");
}

TEST(Masks, StoredMasksMatchEitherCase)
{
    const QStringList masks = ParseMaskList("*.TXT");
    EXPECT_TRUE(MatchesMasks(QStringLiteral("readme.txt"), masks));
    EXPECT_TRUE(MatchesMasks(QStringLiteral("README.TXT"), masks));
    EXPECT_FALSE(MatchesMasks(QStringLiteral("readme.doc"), masks));
    // "*.*" anywhere in the list shows everything.
    EXPECT_TRUE(MatchesMasks(QStringLiteral("readme.doc"), ParseMaskList("*.txt;*.*")));
}

// ---- Remote paths ----

TEST(RemotePaths, FolderLookupsIgnoreCase)
{
    EXPECT_TRUE(SameFolder("/Pub/Dir/", "/pub/dir/"));
    EXPECT_FALSE(SameFolder("/pub/dir/", "/pub/dir2/"));
    EXPECT_TRUE(StartsWithFolder("/PUB/dir/sub/", "/pub/DIR/"));
    EXPECT_FALSE(StartsWithFolder("/pub/", "/pub/dir/"));
    const TFolderLess less;
    EXPECT_FALSE(less("/A/", "/a/"));
    EXPECT_FALSE(less("/a/", "/A/"));
    EXPECT_TRUE(less("/a/", "/B/"));
}

TEST(RemotePaths, BackslashFolderSwitchesTheSeperator)
{
    EXPECT_EQ(SeperatorForFolder("C:\\DATA", '/'), '\\');
    EXPECT_EQ(SeperatorForFolder("/pub", '/'), '/');
    EXPECT_EQ(SeperatorForFolder("/odd\\name", '/'), '/');
    EXPECT_EQ(SeperatorForFolder("DATA", '\\'), '\\');
}

TEST(RemotePaths, SplitTreatsBothSeperatorsAlike)
{
    TRemoteName name = SplitRemotePath("/pub/dir/a.txt", '/');
    EXPECT_EQ(name.Folder, "/pub/dir/");
    EXPECT_EQ(name.Name, "a.txt");
    name = SplitRemotePath("C:\\DATA/sub\\b.txt", '\\');
    EXPECT_EQ(name.Folder, "C:\\DATA\\sub\\");
    EXPECT_EQ(name.Name, "b.txt");
    name = SplitRemotePath("plain", '/');
    EXPECT_EQ(name.Folder, "");
    EXPECT_EQ(name.Name, "plain");
}

TEST(RemotePaths, ItemUrlFollowsPortAndLogin)
{
    EXPECT_EQ(ItemURL("h", 21, "anonymous", "me@x", "/pub/a.txt"), "ftp://h/pub/a.txt");
    EXPECT_EQ(ItemURL("h", 21, "bob", "pw", "/a"), "ftp://bob:pw@h/a");
    EXPECT_EQ(ItemURL("h", 2121, "anonymous", "", "/a"), "ftp://h:2121/a");
    EXPECT_EQ(ItemURL("h", 2121, "bob", "pw", "/a"), "ftp://bob:pw@h:2121/a");
    // Exact comparison: another spelling is an ordinary user.
    EXPECT_EQ(ItemURL("h", 21, "Anonymous", "x", "/a"), "ftp://Anonymous:x@h/a");
}

TEST(RemotePaths, ServerBytesDecodeAsUtf8OrLatin1)
{
    EXPECT_EQ(DecodeServerText("caf\xc3\xa9"), QString::fromUtf8("caf\xc3\xa9"));
    EXPECT_EQ(DecodeServerText("caf\xe9"), QString(QStringLiteral("caf") + QChar(0xe9)));
    EXPECT_EQ(EncodeUserText(QString::fromUtf8("caf\xc3\xa9")), "caf\xc3\xa9");
}

// ---- Sorting ----

struct TSampleEntry
{
    const char *Caption;
    bool Folder;
    std::int64_t Size;
    const char *Type;
    double Date;
};

std::vector<QString> Sorted(const std::vector<TSampleEntry> &samples, int sortColumn)
{
    std::vector<QString> captions, types;
    for (const TSampleEntry &sample : samples) {
        captions.push_back(QString::fromLatin1(sample.Caption));
        types.push_back(QString::fromLatin1(sample.Type));
    }
    std::vector<std::size_t> order(samples.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    const auto key = [&](std::size_t i) {
        TSortKey key;
        key.Folder = samples[i].Folder;
        key.Caption = &captions[i];
        key.Size = samples[i].Size;
        key.Type = &types[i];
        key.Date = TDateTime(samples[i].Date);
        return key;
    };
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return CompareListEntries(key(a), key(b), sortColumn) < 0;
    });
    std::vector<QString> result;
    for (const std::size_t i : order)
        result.push_back(captions[i]);
    return result;
}

const std::vector<TSampleEntry> SortSample = {
    {"b.txt", false, 300, "Text", 3.0},
    {"Zdir", true, 0, "File Folder", 1.0},
    {"a.bin", false, 100, "Binary", 4.0},
    {"adir", true, 0, "File Folder", 2.0},
    {"C.doc", false, 200, "Document", 1.0},
};

TEST(Sorting, EachColumnAscendingWithFoldersFirst)
{
    using V = std::vector<QString>;
    EXPECT_EQ(Sorted(SortSample, 1), V({"adir", "Zdir", "a.bin", "b.txt", "C.doc"}));
    EXPECT_EQ(Sorted(SortSample, 2), V({"adir", "Zdir", "a.bin", "C.doc", "b.txt"}));
    EXPECT_EQ(Sorted(SortSample, 3), V({"adir", "Zdir", "a.bin", "C.doc", "b.txt"}));
    // Folders by date under the date column.
    EXPECT_EQ(Sorted(SortSample, 4), V({"Zdir", "adir", "C.doc", "b.txt", "a.bin"}));
}

TEST(Sorting, DescendingPutsFoldersLast)
{
    using V = std::vector<QString>;
    EXPECT_EQ(Sorted(SortSample, -1), V({"C.doc", "b.txt", "a.bin", "Zdir", "adir"}));
    EXPECT_EQ(Sorted(SortSample, -2), V({"b.txt", "C.doc", "a.bin", "Zdir", "adir"}));
    EXPECT_EQ(Sorted(SortSample, -3), V({"b.txt", "C.doc", "a.bin", "Zdir", "adir"}));
    EXPECT_EQ(Sorted(SortSample, -4), V({"a.bin", "b.txt", "C.doc", "adir", "Zdir"}));
}

TEST(Sorting, HeaderClicksFlipTheSameColumn)
{
    EXPECT_EQ(NextSortColumn(1, 2), 2);
    EXPECT_EQ(NextSortColumn(2, 2), -2);
    EXPECT_EQ(NextSortColumn(-2, 2), 2);
    EXPECT_EQ(NextSortColumn(-2, 4), 4);
}

// ---- Rows ----

TEST(ListRows, LinkTargetsDecideFolders)
{
    EXPECT_TRUE(LinkTargetIsFolder("../lib"));
    EXPECT_TRUE(LinkTargetIsFolder("/usr/share/"));
    EXPECT_TRUE(LinkTargetIsFolder("target"));
    EXPECT_FALSE(LinkTargetIsFolder("readme.txt"));
    EXPECT_FALSE(LinkTargetIsFolder("../lib/x.so"));
}

TEST(ListRows, AddListItemMarksFolderLinksInTheListing)
{
    TDirListing listing;
    listing.push_back("lib -> ../lib", TDirEntry{faLink, 0, {}});
    listing.push_back("doc -> readme.txt", TDirEntry{faLink, 0, {}});
    listing.push_back("plain.txt", {});
    TFileTypes types;
    THostListModel::TRows rows;
    for (std::uint32_t i = 0; i < 3; ++i)
        AddListItem(rows, listing, i, types);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Caption, "lib");
    EXPECT_TRUE(listing[0].Entry.IsFolder());
    EXPECT_EQ(rows[1].Caption, "doc");
    EXPECT_FALSE(listing[1].Entry.IsFolder());
    EXPECT_EQ(rows[0].Type, TFileTypes::Link);
    EXPECT_EQ(rows[2].Caption, "plain.txt");
    EXPECT_GE(rows[2].Type, 0);
}

TEST(ListRows, UnknownTypesNameTheirExtension)
{
    EXPECT_EQ(UnknownTypeText("archive.zq9"), "zq9 File");
    EXPECT_EQ(UnknownTypeText("noextension"), "File");
    TFileTypes types;
    const std::int32_t unknown = types.TypeOf("a.zq9");
    EXPECT_EQ(types.Text(unknown), "zq9 File");
    // The same extension is looked up once.
    EXPECT_EQ(types.TypeOf("b.zq9"), unknown);
    EXPECT_EQ(types.Text(TFileTypes::Folder), "File Folder");
}

// ---- Log ----

TEST(ViewLog, KeepsTheNewest800Lines)
{
    TViewLog log;
    for (int i = 1; i <= 801; ++i)
        log.Add(QString::number(i), Qt::black);
    EXPECT_EQ(log.Count(), 800);
    EXPECT_EQ(log.Lines().front().Text, "2");
    EXPECT_EQ(log.Lines().back().Text, "801");
}

TEST(ViewLog, EngineColoursBecomeRgb)
{
    EXPECT_EQ(LogColor(clLogError), QColor(255, 0, 0));
    EXPECT_EQ(LogColor(clLogReply), QColor(0, 0, 255));
    EXPECT_EQ(LogColor(clLogCommand), QColor(0, 128, 0));
    EXPECT_EQ(LogColor(clLogInfo), QColor(0, 0, 0));
}

} // namespace
