#include "views/AllViews.h"
#include "views/FileList.h"

#include "tests/support/WidgetTests.h"

#include <QLabel>
#include <QStandardItemModel>
#include <QStatusBar>

#include <vector>

namespace {

// A view over a plain item model that records what the common behaviour asks of it.
class TProbeView : public TCustomView
{
public:
    struct TEntry
    {
        QString Name;
        std::int64_t Size;
        bool Folder;
    };

    explicit TProbeView(const std::vector<TEntry> &entries = {})
    {
        FModel = new QStandardItemModel(this);
        for (const TEntry &entry : entries) {
            auto *item = new QStandardItem(entry.Name);
            item->setData(QVariant::fromValue<qint64>(entry.Size), SizeRole);
            item->setData(entry.Folder, FolderRole);
            FModel->appendRow(item);
        }
        auto *list = new TFileList(this);
        list->SetModel(FModel);
        SetListView(list);
    }

    std::vector<QString> Calls;

    QString GetMask() const override { return QStringLiteral("*.*"); }
    bool TransferFrom(TCustomView *source) override
    {
        Calls.push_back(QStringLiteral("TransferFrom"));
        TransferSource = source;
        return true;
    }
    bool EnterFolder(const QModelIndex &item) override
    {
        Calls.push_back(QStringLiteral("EnterFolder ") + item.data().toString());
        return true;
    }
    QString GetItemName(const QModelIndex &item) const override { return item.data().toString(); }
    QString GetItemPath(const QModelIndex &item) const override { return GetFolder() + GetItemName(item); }
    bool IsFolder(const QModelIndex &item) const override { return item.data(FolderRole).toBool(); }
    bool IsLink(const QModelIndex &) const override { return false; }
    std::int64_t GetItemSize(const QModelIndex &item) const override
    {
        return item.data(SizeRole).toLongLong();
    }
    TDateTime GetItemDate(const QModelIndex &) const override { return TDateTime(); }
    bool ChangeFolder(const QString &) override { return true; }
    bool ChangeFolderAndWait(const QString &) override { return true; }
    bool FolderUp() override
    {
        Calls.push_back(QStringLiteral("FolderUp"));
        return true;
    }
    bool CreateFolder(const QString &, bool) override { return true; }
    bool DeleteSelected(bool confirm) override
    {
        Calls.push_back(confirm ? QStringLiteral("Delete confirm") : QStringLiteral("Delete silent"));
        return true;
    }
    bool ShowProperties() override
    {
        Calls.push_back(QStringLiteral("Properties"));
        return true;
    }
    void Refresh() override { Calls.push_back(QStringLiteral("Refresh")); }
    void UpdateEntry(const std::string &, const std::string &, std::uint32_t, std::int64_t, TDateTime) override {}
    bool RenameItem(const QString &, const QString &) override { return true; }

    TCustomView *TransferSource = nullptr;

private:
    static constexpr int SizeRole = Qt::UserRole + 1;
    static constexpr int FolderRole = Qt::UserRole + 2;
    QStandardItemModel *FModel;
};

TEST(CustomView, EmptyListStatusTexts)
{
    TProbeView view;
    view.UpdateStatus();
    EXPECT_EQ(view.PanelText(0), "*.*");
    EXPECT_EQ(view.PanelText(1), "0 Entries, 0 Bytes");
    EXPECT_EQ(view.PanelText(2), "0 Items Selected, 0 Bytes");
    EXPECT_FALSE(view.StatusBar()->isSizeGripEnabled());
}

TEST(CustomView, StatusFollowsSelectionAndReportsState0)
{
    TProbeView view({{"one", 1, false}, {"big", 1536, false}, {"dir", 0, true}});
    std::vector<std::pair<int, int>> states;
    QObject::connect(&view, &TCustomView::StateReported,
                     [&](TCustomView *, int state, int count) { states.emplace_back(state, count); });
    view.ListView()->SelectRow(0);
    EXPECT_EQ(view.PanelText(1), "3 Entries, 1.5KB");
    EXPECT_EQ(view.PanelText(2), "1 Item Selected, 1 Byte");
    ASSERT_FALSE(states.empty());
    EXPECT_EQ(states.back(), std::make_pair(int(vsStatus), 1));

    view.SelectAll();
    EXPECT_EQ(view.SelectedCount(), 3);
    EXPECT_EQ(view.PanelText(2), "3 Items Selected, 1.5KB");
    EXPECT_EQ(view.SelectedSize(), 1537);

    view.InvertSelection();
    EXPECT_EQ(view.SelectedCount(), 0);
    view.ListView()->SelectRow(1);
    view.InvertSelection();
    EXPECT_EQ(view.SelectedCount(), 2);
    EXPECT_EQ(view.PanelText(2), "2 Items Selected, 1 Byte");

    // Overlapping ranges count each row once.
    view.ListView()->SelectRows({0, 1});
    view.ListView()->SelectRows({1, 2});
    EXPECT_EQ(view.SelectedCount(), 3);
    EXPECT_EQ(view.SelectedCount(), int(view.ListView()->SelectedRows().size()));
}

TEST(CustomView, DoUpdatesOffSuppressesStatus)
{
    TProbeView view({{"a", 10, false}});
    int reports = 0;
    QObject::connect(&view, &TCustomView::StateReported, [&](TCustomView *, int, int) { ++reports; });
    view.SetDoUpdates(false);
    view.ListView()->SelectRow(0);
    view.UpdateStatus();
    EXPECT_EQ(reports, 0);
    view.SetDoUpdates(true);
    view.UpdateStatus();
    EXPECT_EQ(reports, 1);
}

TEST(CustomView, AFreedListenerHearsNothingAndIsAskedNothing)
{
    TProbeView view({{"a", 1, false}});
    int reports = 0;
    int asked = 0;
    {
        const QObject listener;
        QObject::connect(&view, &TCustomView::StateReported, &listener,
                         [&](TCustomView *, int, int) { ++reports; });
        view.SetTransferTarget(&listener, [&](TCustomView *) -> TCustomView * {
            ++asked;
            return &view;
        });
        view.UpdateStatus();
        EXPECT_EQ(view.TransferTarget(), &view);
    }
    ASSERT_EQ(reports, 1);
    ASSERT_EQ(asked, 1);
    view.UpdateStatus();
    EXPECT_EQ(view.TransferTarget(), nullptr);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(asked, 1);
}

TEST(CustomView, MaskPanelShowsLowerCaseOrAllFiles)
{
    TProbeView view;
    view.SetMask(QStringLiteral("*.TXT"));
    EXPECT_EQ(view.PanelText(0), "*.txt");
    view.SetMask(QString());
    EXPECT_EQ(view.PanelText(0), "*.*");
}

TEST(CustomView, FolderGetsItsSeperator)
{
    TProbeView view;
    view.SetFolder(QStringLiteral("/pub"));
    EXPECT_EQ(view.GetFolder(), "/pub/");
    view.SetFolder(QStringLiteral("/pub/"));
    EXPECT_EQ(view.GetFolder(), "/pub/");
}

TEST(CustomView, KeysReachTheOperations)
{
    TProbeView view({{"file", 5, false}, {"dir", 0, true}});
    EXPECT_FALSE(view.ListKeyDown(Qt::Key_Delete, Qt::NoModifier)); // nothing selected
    view.ListView()->SelectRow(0);
    EXPECT_TRUE(view.ListKeyDown(Qt::Key_Delete, Qt::ShiftModifier));
    EXPECT_TRUE(view.ListKeyDown(Qt::Key_Delete, Qt::NoModifier));
    EXPECT_TRUE(view.ListKeyDown(Qt::Key_F5, Qt::NoModifier));
    EXPECT_TRUE(view.ListKeyDown(Qt::Key_Return, Qt::AltModifier));
    EXPECT_TRUE(view.ListKeyDown(Qt::Key_Backspace, Qt::NoModifier));
    EXPECT_FALSE(view.ListKeyDown(Qt::Key_B, Qt::NoModifier));
    EXPECT_EQ(view.Calls, (std::vector<QString>{"Delete silent", "Delete confirm", "Refresh", "Properties",
                                                "FolderUp"}));
}

TEST(CustomView, KeysGoToTheCaptionEditor)
{
    TProbeView view({{"file", 5, false}});
    view.show();
    const QModelIndex item = view.ListView()->Item(0);
    view.ListView()->SetCurrentItem(item);
    static_cast<QStandardItemModel *>(view.ListView()->Model())->item(0)->setEditable(true);
    view.BeginRename();
    ASSERT_TRUE(view.ListView()->IsEditing());
    EXPECT_FALSE(view.ListKeyDown(Qt::Key_A, Qt::ControlModifier));
    EXPECT_EQ(view.SelectedCount(), 0);
}

TEST(CustomView, DoubleClickOpensFilesThroughTheOwnerAndFoldersItself)
{
    TProbeView view({{"file", 5, false}, {"dir", 0, true}});
    QStringList opened;
    QObject::connect(&view, &TCustomView::FileOpened,
                     [&](TCustomView *, const QModelIndex &item) { opened << item.data().toString(); });
    view.ListView()->SelectRow(0);
    view.ListDblClick(Qt::NoModifier);
    view.ListView()->ClearSelection();
    view.ListView()->SelectRow(1);
    view.ListDblClick(Qt::NoModifier);
    view.ListDblClick(Qt::AltModifier);
    EXPECT_EQ(opened, QStringList({"file"}));
    EXPECT_EQ(view.Calls, (std::vector<QString>{"EnterFolder dir", "Properties"}));
    view.ListView()->ClearSelection();
    view.ListDblClick(Qt::NoModifier);
    EXPECT_EQ(view.Calls.size(), 2u);
}

TEST(CustomView, DropsComeOnlyFromAnotherViewsList)
{
    TProbeView source({{"file", 5, false}});
    TProbeView target;
    QWidget stranger;
    QAbstractItemView *sourceList = source.ListView()->CurrentView();
    EXPECT_TRUE(target.ListDragOver(sourceList));
    EXPECT_TRUE(target.ListDragOver(sourceList->viewport()));
    EXPECT_FALSE(source.ListDragOver(sourceList));
    EXPECT_FALSE(target.ListDragOver(&stranger));
    EXPECT_FALSE(target.ListDragOver(nullptr));
    EXPECT_FALSE(target.ListDragOver(source.StatusBar()));

    target.ListDragDrop(sourceList);
    EXPECT_EQ(target.TransferSource, &source);
    target.TransferSource = nullptr;
    source.ListDragDrop(sourceList);
    EXPECT_EQ(source.TransferSource, nullptr);
    EXPECT_FALSE(source.TransferTo(nullptr));
}

TEST(CustomView, MenuKeyOpensThePopupAtTheFocusedItem)
{
    TProbeView view({{"a", 1, false}, {"b", 2, false}});
    view.resize(400, 300);
    view.show();
    std::vector<QPoint> requests;
    QObject::connect(view.ListView(), &TFileList::ContextMenuRequested,
                     [&](const QPoint &pos) { requests.push_back(pos); });
    QAbstractItemView *list = view.ListView()->CurrentView();
    const QModelIndex item = view.ListView()->Item(1);
    view.ListView()->SetCurrentItem(item);
    EXPECT_TRUE(view.ListKeyDown(Qt::Key_Menu, Qt::NoModifier));
    view.ListView()->SetCurrentItem(QModelIndex());
    EXPECT_TRUE(view.ListKeyDown(Qt::Key_Menu, Qt::NoModifier));
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], list->viewport()->mapToGlobal(list->visualRect(item).topLeft() + QPoint(8, 8)));
    EXPECT_EQ(requests[1], list->viewport()->mapToGlobal(QPoint(0, 0)));
}

TEST(CustomView, ViewStylesKeepTheSelection)
{
    TProbeView view({{"a", 1, false}, {"b", 2, false}});
    view.ListView()->SelectRow(1);
    for (int style : {lsLargeIcons, lsSmallIcons, lsList, lsDetails}) {
        view.SetViewStyle(style);
        EXPECT_EQ(view.ViewStyle(), style);
        EXPECT_EQ(view.SelectedCount(), 1);
        EXPECT_EQ(view.ListView()->CurrentView()->model(), view.ListView()->Model());
    }
}

} // namespace
