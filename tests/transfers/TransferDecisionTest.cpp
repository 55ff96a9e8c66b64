#include "transfers/TransferDecision.h"

#include "tests/support/ScriptedQuestions.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

TDateTime Day(int day)
{
    return TDateTime::FromDate(QDate(2024, 3, day));
}

// Names are literals: the item is copied into a listing, which keeps its own copy.
TListItem Entry(TListName name, std::int64_t size, TDateTime date = Day(10),
                std::uint32_t attributes = 0)
{
    TListItem item;
    item.Name = name;
    item.Entry.Size = size;
    item.Entry.Date = date;
    item.Entry.Attributes = attributes;
    return item;
}

class DecideTransferTest : public ::testing::Test
{
protected:
    std::optional<std::int64_t> Decide(const std::string &name, std::int64_t size, TDateTime date = Day(12))
    {
        return DecideTransfer(Settings, TTransferSource{name, size, date}, &Destination, CanResume,
                              Flags, Questions);
    }

    TTransferSettings Settings; // defaults: resume binary files, confirm both
    TDirListing Destination;
    bool CanResume = true;
    TTransferFlags Flags;
    TScriptedQuestions Questions;
};

} // namespace

TEST_F(DecideTransferTest, NewFilesAreTransferredWholeWithoutQuestions)
{
    Destination = {Entry("other.bin", 50)};
    EXPECT_EQ(Decide("data.bin", 100), 0);
    // Entries that are not known (a folder the view does not show) count as absent.
    EXPECT_EQ(DecideTransfer(Settings, {"data.bin", 100, Day(1)}, nullptr, true, Flags, Questions), 0);
    EXPECT_EQ(Questions.Asked(), 0);
}

TEST_F(DecideTransferTest, OverwriteWindowResults)
{
    CanResume = false; // every existing file goes to the overwrite question
    Destination = {Entry("a.bin", 200, Day(5))};

    struct Row
    {
        int Answer;
        std::optional<std::int64_t> Offset;
    };
    const Row rows[] = {
        {mrYes, 0},
        {mrNo, std::nullopt},
        {mrRetry, 200}, // "&Recovery" continues the existing file
        {mrCancel, std::nullopt},
    };
    for (const Row &row : rows) {
        Flags = {};
        Questions.Answers = {row.Answer};
        EXPECT_EQ(Decide("a.bin", 300, Day(7)), row.Offset) << "answer " << row.Answer;
        EXPECT_FALSE(Flags.OverwriteToAll) << "answer " << row.Answer;
    }
    ASSERT_EQ(Questions.Overwrites.size(), 4u);
    const TOverwriteQuestion &asked = Questions.Overwrites.front();
    EXPECT_EQ(asked.FileName, "a.bin");
    EXPECT_EQ(asked.ExistingSize, 200);
    EXPECT_EQ(asked.NewSize, 300);
    EXPECT_EQ(asked.ExistingDate, Day(5));
    EXPECT_EQ(asked.NewDate, Day(7));
    EXPECT_TRUE(asked.CanRecover());
}

TEST_F(DecideTransferTest, OverwriteYesToAllReplacesLaterFilesWithoutAsking)
{
    Destination = {Entry("a.bin", 500), Entry("b.bin", 900), Entry("c.bin", 1)};
    Questions.Answers = {mrYesToAll};
    EXPECT_EQ(Decide("a.bin", 100), 0);
    EXPECT_TRUE(Flags.OverwriteToAll);
    EXPECT_TRUE(Flags.OverwriteYes);
    EXPECT_EQ(Decide("b.bin", 100), 0);
    EXPECT_EQ(Decide("c.bin", 1), 0);
    EXPECT_EQ(Questions.Asked(), 1);
}

TEST_F(DecideTransferTest, OverwriteNoToAllSkipsLaterFilesWithoutAsking)
{
    Destination = {Entry("a.bin", 500), Entry("b.bin", 900)};
    Questions.Answers = {mrNoToAll};
    EXPECT_EQ(Decide("a.bin", 100), std::nullopt);
    EXPECT_TRUE(Flags.OverwriteToAll);
    EXPECT_FALSE(Flags.OverwriteYes);
    EXPECT_EQ(Decide("b.bin", 100), std::nullopt);
    // Files that do not exist yet are not affected.
    EXPECT_EQ(Decide("new.bin", 100), 0);
    EXPECT_EQ(Questions.Asked(), 1);
}

TEST_F(DecideTransferTest, RecoveryIsOfferedOnlyForShorterFilesAndHonouredOnlyThen)
{
    Destination = {Entry("same.bin", 100), Entry("longer.bin", 150), Entry("notes.txt", 50)};
    Settings.TryToResume = 0; // so a shorter file is asked about too
    Questions.Answers = {mrRetry, mrRetry, mrRetry};
    // A window that let Recovery through anyway must not ask for bytes past the end,
    // nor continue a text file whose local length says nothing of the server's.
    EXPECT_EQ(Decide("same.bin", 100), std::nullopt);
    EXPECT_EQ(Decide("longer.bin", 100), std::nullopt);
    EXPECT_EQ(Decide("notes.txt", 100), std::nullopt);
    ASSERT_EQ(Questions.Overwrites.size(), 3u);
    EXPECT_FALSE(Questions.Overwrites[0].CanRecover());
    EXPECT_FALSE(Questions.Overwrites[1].CanRecover());
    EXPECT_FALSE(Questions.Overwrites[2].CanRecover());
    EXPECT_TRUE(Questions.Overwrites[2].SentAsText);
}

TEST_F(DecideTransferTest, OverwriteWithoutConfirmationOrOfEmptyFileReplacesSilently)
{
    Destination = {Entry("empty.bin", 0), Entry("full.bin", 100)};
    EXPECT_EQ(Decide("empty.bin", 100), 0);
    Settings.ConfirmOverwrites = false;
    EXPECT_EQ(Decide("full.bin", 50), 0);
    EXPECT_EQ(Questions.Asked(), 0);
}

TEST_F(DecideTransferTest, RestartWindowResults)
{
    Destination = {Entry("part.bin", 400)};
    struct Row
    {
        int Answer;
        std::optional<std::int64_t> Offset;
        bool ToAll;
        bool Yes;
    };
    const Row rows[] = {
        {mrYes, 400, false, false},
        {mrNo, 0, false, false},
        {mrYesToAll, 400, true, true},
        {mrNoToAll, 0, true, false},
        {mrCancel, std::nullopt, false, false},
    };
    for (const Row &row : rows) {
        Flags = {};
        Questions.Answers = {row.Answer};
        EXPECT_EQ(Decide("part.bin", 1000), row.Offset) << "answer " << row.Answer;
        EXPECT_EQ(Flags.RestartToAll, row.ToAll) << "answer " << row.Answer;
        EXPECT_EQ(Flags.RestartYes, row.Yes) << "answer " << row.Answer;
    }
    EXPECT_EQ(Questions.Restarts.size(), 5u);
    EXPECT_TRUE(Questions.Overwrites.empty());
}

TEST_F(DecideTransferTest, RestartToAllAnswersDoNotAnswerOverwrites)
{
    Destination = {Entry("one.bin", 10), Entry("two.bin", 20), Entry("big.bin", 5000)};
    Questions.Answers = {mrYesToAll, mrYes};
    EXPECT_EQ(Decide("one.bin", 100), 10);
    EXPECT_EQ(Decide("two.bin", 100), 20); // resumes without a question
    EXPECT_EQ(Questions.Restarts.size(), 1u);
    // A larger destination in the same submission still brings the overwrite window.
    EXPECT_EQ(Decide("big.bin", 100), 0);
    EXPECT_EQ(Questions.Overwrites.size(), 1u);
}

TEST_F(DecideTransferTest, RestartNoToAllTransfersLaterPartialFilesWhole)
{
    Destination = {Entry("one.bin", 10), Entry("two.bin", 20)};
    Questions.Answers = {mrNoToAll};
    EXPECT_EQ(Decide("one.bin", 100), 0);
    EXPECT_EQ(Decide("two.bin", 100), 0);
    EXPECT_EQ(Questions.Asked(), 1);
}

TEST_F(DecideTransferTest, FilesSentAsTextAreNeverResumed)
{
    Destination = {Entry("notes.txt", 10)};
    EXPECT_EQ(Decide("notes.txt", 100), 0);
    // Neither the restart nor the overwrite question: the file is shorter than the source.
    EXPECT_EQ(Questions.Asked(), 0);

    Settings.TryToResume = 2; // "All files"
    EXPECT_EQ(Decide("NOTES.TXT", 100), 0) << "its line ends change, so no offset is known";
    EXPECT_EQ(Questions.Asked(), 0);

    Settings.TransferMode = ttBinary;
    Questions.Answers = {mrYes};
    EXPECT_EQ(Decide("notes.txt", 100), 10) << "sent as binary, the same file resumes";
    EXPECT_EQ(Questions.Restarts.size(), 1u);
}

TEST_F(DecideTransferTest, ResumeNeedsTheOptionAndAServerThatCanRestart)
{
    Destination = {Entry("part.bin", 40)};
    Settings.TryToResume = 0;
    Questions.Answers = {mrYes};
    EXPECT_EQ(Decide("part.bin", 100), 0); // overwrite question instead
    EXPECT_EQ(Questions.Overwrites.size(), 1u);

    Settings.TryToResume = 1;
    CanResume = false;
    Questions.Answers = {mrRetry};
    EXPECT_EQ(Decide("part.bin", 100), 40);
    EXPECT_EQ(Questions.Overwrites.size(), 2u);
    EXPECT_TRUE(Questions.Restarts.empty());
}

TEST_F(DecideTransferTest, UnconfirmedRestartsResume)
{
    Settings.ConfirmRestarts = false;
    Destination = {Entry("part.bin", 40)};
    EXPECT_EQ(Decide("part.bin", 100), 40);
    EXPECT_EQ(Questions.Asked(), 0);
}

TEST_F(DecideTransferTest, DontShowAgainWithNoTransfersWholeThenLaterFilesResume)
{
    // The restart window switches the option off itself; the next decision sees it.
    Destination = {Entry("one.bin", 10), Entry("two.bin", 20)};
    Questions.Answers = {mrNo};
    EXPECT_EQ(Decide("one.bin", 100), 0);
    Settings.ConfirmRestarts = false;
    EXPECT_EQ(Decide("two.bin", 100), 20);
    EXPECT_EQ(Questions.Asked(), 1);
}

TEST_F(DecideTransferTest, NoTransferOlderSkipsOnlySameSizedFilesThatAreNotNewer)
{
    Settings.NoTransferOlder = true;
    Destination = {Entry("same.bin", 100, Day(10))};
    EXPECT_EQ(Decide("same.bin", 100, Day(9)), std::nullopt);  // older
    EXPECT_EQ(Decide("same.bin", 100, Day(10)), std::nullopt); // same age
    EXPECT_EQ(Questions.Asked(), 0);

    // Newer with the same size: offered for overwrite.
    Questions.Answers = {mrYes};
    EXPECT_EQ(Decide("same.bin", 100, Day(11)), 0);
    // One byte more at the source: offered for resume.
    Questions.Answers = {mrYes};
    EXPECT_EQ(Decide("same.bin", 101, Day(9)), 100);
    EXPECT_EQ(Questions.Overwrites.size(), 1u);
    EXPECT_EQ(Questions.Restarts.size(), 1u);
}

TEST_F(DecideTransferTest, DestinationIsFoundByNameWithoutRegardToCasePreferringExactCase)
{
    Destination = {Entry("README.BIN", 10), Entry("readme.bin", 20),
                   Entry("link.bin -> target.bin", 30, Day(1), faLink)};
    Settings.ConfirmRestarts = false;
    EXPECT_EQ(Decide("readme.bin", 100), 20);
    EXPECT_EQ(Decide("ReadMe.Bin", 100), 10);
    EXPECT_EQ(Decide("link.bin", 100), 30);
    EXPECT_EQ(Decide("target.bin", 100), 0);
    const TDirListing accented = {Entry("\xC3\x89T\xC3\x89.bin", 7)}; // "ÉTÉ.bin"
    EXPECT_NE(FindDestinationEntry(accented, "\xC3\xA9t\xC3\xA9.bin"), nullptr);
}

TEST(TransferTypeTest, AutoSendsListedExtensionsAsAscii)
{
    TTransferSettings settings;
    EXPECT_EQ(ChooseTransferType(settings, "README.TXT"), ttASCII);
    EXPECT_EQ(ChooseTransferType(settings, "index.html"), ttASCII);
    EXPECT_EQ(ChooseTransferType(settings, "README"), ttBinary);
    EXPECT_EQ(ChooseTransferType(settings, "archive.txt.gz"), ttBinary);
    EXPECT_EQ(ChooseTransferType(settings, "picture.png"), ttBinary);
    // The extension must equal a whole entry: ".htm" does not cover ".h".
    EXPECT_EQ(ChooseTransferType(settings, "main.h"), ttBinary);
    settings.AsciiExtensions = {".C"};
    EXPECT_EQ(ChooseTransferType(settings, "main.c"), ttASCII);
}

TEST(TransferTypeTest, FixedModesAndUnknownModes)
{
    TTransferSettings settings;
    for (int mode : {1, 2, 3, 4}) {
        settings.TransferMode = mode;
        EXPECT_EQ(ChooseTransferType(settings, "a.txt"), mode);
    }
    settings.TransferMode = 7;
    EXPECT_EQ(ChooseTransferType(settings, "a.txt"), ttBinary);
    settings.TransferMode = -1;
    EXPECT_EQ(ChooseTransferType(settings, "a.txt"), ttBinary);
}

TEST(TransferNamesTest, ExtensionsAndLowerCase)
{
    EXPECT_EQ(ExtensionOf("a.tar.gz"), ".gz");
    EXPECT_EQ(ExtensionOf("noext"), "");
    EXPECT_EQ(ExtensionOf(".profile"), ".profile");
    EXPECT_EQ(LowerCaseName("MiXeD.TXT"), "mixed.txt");
    EXPECT_EQ(LowerCaseName("\xC3\x89T\xC3\x89.TXT"), "\xC3\xA9t\xC3\xA9.txt");
    // Bytes that are not UTF-8 keep their value; only ASCII letters change.
    EXPECT_EQ(LowerCaseName("A\xFF" "B"), "a\xFF" "b");
}

TEST(TransferNamesTest, LocalFoldersThatCanReceiveDownloads)
{
    EXPECT_TRUE(IsSafeLocalFolder("/"));
    EXPECT_TRUE(IsSafeLocalFolder("/home/me/dl/"));
    EXPECT_TRUE(IsSafeLocalFolder("/home/me/.hidden/"));
    EXPECT_FALSE(IsSafeLocalFolder(""));
    EXPECT_TRUE(IsSafeLocalFolder("relative/dl/"));
    EXPECT_FALSE(IsSafeLocalFolder("../dl/"));
    EXPECT_FALSE(IsSafeLocalFolder("//"));
    EXPECT_FALSE(IsSafeLocalFolder("/home/me")); // no trailing separator
    EXPECT_FALSE(IsSafeLocalFolder("/home/me/../etc/"));
    EXPECT_FALSE(IsSafeLocalFolder("/home/me/./"));
    EXPECT_FALSE(IsSafeLocalFolder("/home//me/"));
    EXPECT_FALSE(IsSafeLocalFolder(std::string("/home/m\0e/", 10)));
}

TEST(TransferNamesTest, ReadLocalFolderListsSizesAndFolders)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("data.bin"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1234, 'x'));
    file.close();
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));

    const auto listing = ReadLocalFolder(dir.path().toStdString());
    ASSERT_TRUE(listing);
    ASSERT_EQ(listing->size(), 2u);
    const TListItem *data = FindDestinationEntry(*listing, "data.bin");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->Entry.Size, 1234);
    EXPECT_FALSE(data->Entry.IsFolder());
    EXPECT_LT(std::abs(data->Entry.Date.Value() - TDateTime::Now().Value()), 1.0);
    const TListItem *sub = FindDestinationEntry(*listing, "sub");
    ASSERT_NE(sub, nullptr);
    EXPECT_TRUE(sub->Entry.IsFolder());

    EXPECT_FALSE(ReadLocalFolder(dir.filePath("missing").toStdString()));
}
