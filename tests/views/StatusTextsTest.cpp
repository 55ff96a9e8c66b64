#include "views/StatusTexts.h"

#include <gtest/gtest.h>

#include <QLocale>

namespace {

class StatusTexts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FPrevious = QLocale();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override { QLocale::setDefault(FPrevious); }

private:
    QLocale FPrevious;
};

TEST_F(StatusTexts, SizeTextPicksTheUnitAtEachBoundary)
{
    EXPECT_EQ(SizeText(0), "0 Bytes");
    EXPECT_EQ(SizeText(1), "1 Byte");
    EXPECT_EQ(SizeText(2), "2 Bytes");
    EXPECT_EQ(SizeText(1023), "1,023 Bytes");
    EXPECT_EQ(SizeText(1024), "1KB");
    EXPECT_EQ(SizeText(1536), "1.5KB");
    EXPECT_EQ(SizeText(1048575), "1.02e+03KB");
    EXPECT_EQ(SizeText(1048576), "1MB");
    EXPECT_EQ(SizeText(1073741824), "1GB");
    EXPECT_EQ(SizeText(1024LL * 1073741824), "1TB");
    EXPECT_EQ(SizeText(5LL * 1024 * 1073741824 + 512LL * 1073741824), "5.5TB");
}

TEST_F(StatusTexts, ThousandsOfKilobytesPrintInExponentForm)
{
    // 1000 KB to 1023.9 KB have four integer digits; three significant digits cannot
    // show them in fixed form.
    EXPECT_EQ(SizeText(1000 * 1024), "1e+03KB");
    EXPECT_EQ(SizeText(1020 * 1024), "1.02e+03KB");
    EXPECT_EQ(SizeText(999 * 1024), "999KB");
}

TEST_F(StatusTexts, PanelTextsUseSingularForOne)
{
    EXPECT_EQ(EntriesText(0, 0), "0 Entries, 0 Bytes");
    EXPECT_EQ(SelectedText(0, 0), "0 Items Selected, 0 Bytes");
    EXPECT_EQ(EntriesText(1, 1), "1 Entry, 1 Byte");
    EXPECT_EQ(SelectedText(1, 1), "1 Item Selected, 1 Byte");
    EXPECT_EQ(EntriesText(3, 2048), "3 Entries, 2KB");
    EXPECT_EQ(SelectedText(2, 5 * 1048576), "2 Items Selected, 5MB");
}

TEST_F(StatusTexts, TransferAndFreeSpaceGroupDigits)
{
    EXPECT_EQ(TransferredText(0), "0 Bytes");
    EXPECT_EQ(TransferredText(1234567), "1,234,567 Bytes");
    EXPECT_EQ(FreeSpaceText(1234567890), "1,234,567,890 Bytes Free");
    EXPECT_EQ(GroupedNumber(-1234), "-1,234");
}

TEST_F(StatusTexts, ListSizeRoundsKilobytesUp)
{
    EXPECT_EQ(ListSizeText(0), "0KB");
    EXPECT_EQ(ListSizeText(1), "1KB");
    EXPECT_EQ(ListSizeText(1024), "1KB");
    EXPECT_EQ(ListSizeText(1025), "2KB");
    EXPECT_EQ(ListSizeText(1048576), "1,024KB");
    // Sizes beyond 2 GiB list correctly.
    EXPECT_EQ(ListSizeText(5LL * 1073741824), "5,242,880KB");
}

TEST_F(StatusTexts, GermanLocaleUsesItsSeparators)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(SizeText(1023), "1.023 Bytes");
    EXPECT_EQ(SizeText(1536), "1,5KB");
}

} // namespace
