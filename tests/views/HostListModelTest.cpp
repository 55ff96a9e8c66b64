#include "views/HostListModel.h"
#include "views/ListHelpers.h"

#include "tests/support/WidgetTests.h"

#include <QIcon>
#include <QItemSelectionModel>
#include <QMimeData>

namespace {

// Names are literals: the item is copied into a listing, which keeps its own copy.
TListItem Item(TListName name, std::uint32_t attributes, std::int64_t size)
{
    TListItem item;
    item.Name = name;
    item.Entry.Attributes = attributes;
    item.Entry.Size = size;
    TDateTime::TryEncode(2020, 1, 2, 10, 15, 0, item.Entry.Date);
    return item;
}

class HostListModelTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Listing = std::make_shared<TDirListing>(TDirListing{
            Item("notes.txt", 0, 1),
            Item("docs", faFolder, 4096),
            Item("big.bin", 0, 1048576),
            Item("up -> ../", faLink, 3),
            Item("caf\xc3\xa9.txt", 0, 0),
        });
        THostListModel::TRows rows;
        for (std::uint32_t i = 0; i < Listing->size(); ++i)
            AddListItem(rows, *Listing, i, Model.Types());
        Model.SetRows(Listing, std::move(rows));
    }
    QString Text(int row, int column) const { return Model.data(Model.index(row, column), Qt::DisplayRole).toString(); }
    int RowOf(const QString &caption) const
    {
        for (int row = 0; row < Model.Count(); ++row) {
            if (Model.Row(row).Caption == caption)
                return row;
        }
        return -1;
    }

    std::shared_ptr<TDirListing> Listing;
    THostListModel Model;
};

TEST_F(HostListModelTest, ColumnsShowNameSizeTypeAndDate)
{
    EXPECT_EQ(Model.columnCount(), 4);
    EXPECT_EQ(Model.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), "Name");
    EXPECT_EQ(Model.headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), "Modified");
    EXPECT_EQ(Text(0, 1), "1KB");
    EXPECT_EQ(Text(2, 1), "1,024KB");
    EXPECT_EQ(Text(1, 1), "") << "folders show no size";
    EXPECT_EQ(Text(1, 2), "File Folder");
    EXPECT_EQ(Text(3, 0), "up");
    EXPECT_EQ(Text(3, 2), "Shortcut to ../");
    EXPECT_EQ(Text(3, 1), "") << "a link to a folder is a folder";
    EXPECT_EQ(Text(4, 0), QString::fromUtf8("caf\xc3\xa9.txt"));
    EXPECT_EQ(Text(0, 3), QLocale().toString(QDateTime(QDate(2020, 1, 2), QTime(10, 15)), QLocale::ShortFormat));
    EXPECT_EQ(Model.data(Model.index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignRight, Qt::AlignRight);
    EXPECT_FALSE(Model.data(Model.index(1, 0), Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_FALSE(Model.data(Model.index(99, 0), Qt::DisplayRole).isValid());
}

TEST_F(HostListModelTest, EditsReachTheOwnerOnlyWhenAllowed)
{
    EXPECT_FALSE(Model.flags(Model.index(0, 0)) & Qt::ItemIsEditable);
    Model.SetEditable(true);
    EXPECT_TRUE(Model.flags(Model.index(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(Model.flags(Model.index(0, 1)) & Qt::ItemIsEditable);
    std::vector<std::pair<int, QString>> edits;
    QObject::connect(&Model, &THostListModel::Edited,
                     [&](int row, const QString &text) { edits.emplace_back(row, text); });
    // The caption stays until the server confirms the rename.
    EXPECT_FALSE(Model.setData(Model.index(0, 0), QStringLiteral("new.txt"), Qt::EditRole));
    EXPECT_EQ(Text(0, 0), "notes.txt");
    ASSERT_EQ(edits.size(), 1u);
    EXPECT_EQ(edits[0], std::make_pair(0, QStringLiteral("new.txt")));
}

TEST_F(HostListModelTest, DragsCarryTheRemoteKind)
{
    const std::unique_ptr<QMimeData> data(Model.mimeData({Model.index(0, 0)}));
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasFormat(THostListModel::MimeType));
    EXPECT_EQ(Model.mimeData({}), nullptr);
}

TEST_F(HostListModelTest, SortingKeepsSelectedEntriesSelected)
{
    QItemSelectionModel selection(&Model);
    const int big = RowOf("big.bin");
    selection.select(Model.index(big, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    Model.Sort(-2);
    EXPECT_EQ(Model.Row(0).Caption, "big.bin");
    const QModelIndexList rows = selection.selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(Model.Row(rows.first().row()).Caption, "big.bin");
    Model.Sort(1);
    EXPECT_EQ(Model.Row(0).Caption, "docs");
    EXPECT_EQ(Model.Row(1).Caption, "up");
    EXPECT_EQ(Model.Row(2).Caption, "big.bin");
    EXPECT_EQ(Model.Row(selection.selectedRows().first().row()).Caption, "big.bin");
}

TEST_F(HostListModelTest, ClearingEmptiesTheList)
{
    ClearListView(Model);
    EXPECT_EQ(Model.rowCount(), 0);
    EXPECT_FALSE(Model.Listing());
    // The listing itself belongs to the cache.
    EXPECT_EQ(Listing->size(), 5u);
}

} // namespace
