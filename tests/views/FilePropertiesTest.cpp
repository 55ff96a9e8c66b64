// What the remote properties window says about a selection, and which permissions an
// OK gives each entry.

#include "views/FileProperties.h"

#include "engine/FTPTypes.h"

#include <gtest/gtest.h>

namespace {

TPropertyEntry Entry(const QString &caption, const QString &type, std::int64_t size, std::uint32_t attributes)
{
    TPropertyEntry entry;
    entry.Caption = caption;
    entry.Type = type;
    entry.IsFolder = attributes & faFolder;
    entry.Size = size;
    entry.Attributes = attributes;
    return entry;
}

// Attributes from a Unix mode: owner read is bit 2, everyone execute bit 10.
std::uint32_t Mode(int unixMode)
{
    std::uint32_t attributes = 0;
    for (int box = 0; box < 9; ++box) {
        if (unixMode & (0400 >> box))
            attributes |= PermissionBit(box);
    }
    return attributes;
}

const std::uint32_t rwxr_xr_x = Mode(0755);
const std::uint32_t rw_r__r__ = Mode(0644);

TEST(FileProperties, SizesSwitchUnitsOnlyAboveOneUnit)
{
    EXPECT_EQ(PropertySizeText(2048), "2KB (2048 Bytes)");
    EXPECT_EQ(PropertySizeText(1048577), "1MB (1048577 Bytes)");
    EXPECT_EQ(PropertySizeText(1048576), "1024KB (1048576 Bytes)");
    EXPECT_EQ(PropertySizeText(1024), "1024 (1024 Bytes)");
    EXPECT_EQ(PropertySizeText(1025), "1KB (1025 Bytes)");
    EXPECT_EQ(PropertySizeText(5LL << 30), "5120MB (5368709120 Bytes)");
    EXPECT_EQ(PropertyLocationText("/"), "(Server Root)");
    EXPECT_EQ(PropertyLocationText("/pub/docs/"), "/pub/docs");
}

TEST(FileProperties, ASelectionIsSummedUpAndItsBoxesShowWhatAllShare)
{
    const TPropertySummary summary = SummarizeProperties(
        {Entry("a.sh", "Shell script", 10, rwxr_xr_x), Entry("b.TXT", "Text", 20, rw_r__r__),
         Entry("c.txt", "text", 2000, rw_r__r__), Entry("dir", "File Folder", 0, faFolder | rwxr_xr_x)},
        "/");
    EXPECT_EQ(summary.Caption, "a.sh,... Properties");
    EXPECT_EQ(summary.FileName, "3 Files, 1 Folders");
    EXPECT_EQ(summary.Type, "Multiple Types");
    EXPECT_FALSE(summary.FirstIcon);
    EXPECT_EQ(summary.Size, "1KB (2030 Bytes)");
    EXPECT_EQ(summary.Date, "Multiple Dates");
    EXPECT_EQ(summary.Location, "(Server Root)");
    using B = TBoxState;
    const TPermissionBoxes expected{B::Checked, B::Checked, B::Mixed, B::Checked, B::Clear,
                                    B::Mixed,   B::Checked, B::Clear, B::Mixed};
    EXPECT_EQ(summary.Boxes, expected);

    // Types are compared without case; one type shows with the first entry's icon.
    const TPropertySummary texts =
        SummarizeProperties({Entry("b.TXT", "Text", 1, 0), Entry("c.txt", "text", 1, 0)}, "/pub/");
    EXPECT_EQ(texts.Type, "Text");
    EXPECT_TRUE(texts.FirstIcon);
    EXPECT_EQ(texts.Location, "/pub");

    const TPropertySummary one = SummarizeProperties({Entry("a.sh", "Shell script", 1024, rwxr_xr_x)}, "/x/");
    EXPECT_EQ(one.Caption, "a.sh Properties");
    EXPECT_EQ(one.FileName, "a.sh");
    EXPECT_EQ(one.Size, "1024 (1024 Bytes)");
}

TEST(FileProperties, MixedBoxesKeepEachEntrysOwnPermission)
{
    using B = TBoxState;
    const TPermissionBoxes boxes{B::Checked, B::Checked, B::Mixed, B::Checked, B::Checked,
                                 B::Mixed,   B::Clear,   B::Clear, B::Mixed};
    EXPECT_EQ(AppliedPermissions(rwxr_xr_x, boxes), Mode(0771));
    EXPECT_EQ(AppliedPermissions(rw_r__r__ | faFolder, boxes), Mode(0660)) << "only permission bits are sent";
}

TEST(FileProperties, NamesThatWouldMakeAnotherPathAreRefused)
{
    for (const QString name : {"", ".", "..", "a/b", "/", "a\r\nDELE b", "a\n"})
        EXPECT_FALSE(UnsafeRemoteNameReason(name).isEmpty()) << name.toStdString();
    for (const QString name : {"...", ".hidden", "a b", "naïve.txt"})
        EXPECT_TRUE(UnsafeRemoteNameReason(name).isEmpty()) << name.toStdString();
}

} // namespace
