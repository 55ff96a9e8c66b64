#pragma once

#include <QListView>
#include <QModelIndex>
#include <QStackedWidget>
#include <QTreeView>

#include <array>
#include <vector>

class QAbstractItemModel;
class QFontMetrics;
class QHeaderView;
class QItemSelectionModel;

// The pages of a file list, telling whether a caption is being edited.
class TDetailsView : public QTreeView
{
    Q_OBJECT

public:
    using QTreeView::QTreeView;
    bool IsEditing() const { return state() == EditingState; }
};

class TIconsView : public QListView
{
    Q_OBJECT

public:
    using QListView::QListView;
    bool IsEditing() const { return state() == EditingState; }
};

// Starting widths of the details columns (name, size, type, modified): a whole size and
// date in this font, and all four within about 480 pixels, the width of one side of a
// window on a laptop screen.
std::array<int, 4> DefaultColumnWidths(const QFontMetrics &metrics);

// The list control of a file view: a details page (a flat tree view with a header) and
// an icons page (a list view for large icons, small icons and list), one of them shown.
// Only the shown page is attached to the model, so a hidden page costs nothing for a
// long list; the selection survives a style change.
class TFileList : public QStackedWidget
{
    Q_OBJECT

public:
    explicit TFileList(QWidget *parent = nullptr);

    void SetModel(QAbstractItemModel *model);
    QAbstractItemModel *Model() const { return FModel; }
    // The folder shown, for models holding a tree (the local file system).
    void SetRootIndex(const QModelIndex &root);

    int Style() const { return FStyle; }
    void SetStyle(int style);

    QAbstractItemView *CurrentView() const;
    TDetailsView *DetailsView() const { return FDetails; }
    TIconsView *IconsView() const { return FIcons; }
    QHeaderView *Header() const;
    void UseDefaultColumnWidths();

    // Whether `object` is this list or one of its parts (pages, viewports, header).
    bool Contains(const QObject *object) const;
    // The list `object` belongs to, or null.
    static TFileList *Owning(const QObject *object);

    int RowCount() const;
    QModelIndex Item(int row) const;
    QModelIndexList SelectedRows() const;
    int SelectedCount() const;
    void SelectAllRows();
    void InvertSelectionRows();
    void ClearSelection();
    void SelectRow(int row, bool select = true);
    // Adds the rows (ascending) to the selection in one step.
    void SelectRows(const std::vector<int> &rows);
    QModelIndex CurrentItem() const;
    void SetCurrentItem(const QModelIndex &item);
    bool IsEditing() const;

signals:
    void SelectionChanged();
    // The user asked for the list's pop-up menu (right click or the menu key), at a
    // global position.
    void ContextMenuRequested(const QPoint &globalPos);

private:
    void Attach(QAbstractItemView *view);

    TDetailsView *FDetails;
    TIconsView *FIcons;
    QAbstractItemModel *FModel = nullptr;
    QItemSelectionModel *FSelection = nullptr;
    QModelIndex FRoot;
    int FStyle = 3;
};
