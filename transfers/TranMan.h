#pragma once

// The transfer manager: one row for every item of the queue, in queue order, with its
// size, folders and status; the user cancels, re-submits and reorders items here.

#include "engine/Event.h"
#include "transfers/Transfer.h"

#include <QAbstractTableModel>
#include <QTableView>
#include <QWidget>

#include <unordered_map>
#include <vector>

class QMenu;
class QTimer;
class QAction;
class TfrmTransfer;

// The queue's items as rows. Rows follow the items' fields as they change; new items
// arrive in batches, so adding many costs each no more than adding few.
class TTransferListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum TColumn { colFile, colSize, colLocal, colHost, colStatus, ColumnCount };
    // The item's status, which is the row's image index.
    static constexpr int StatusRole = Qt::UserRole;

    explicit TTransferListModel(TTransferItems &queue, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;

    TTransferItem *Item(int row) const;
    // -1 when the item has no row (yet).
    int RowOf(const TTransferItem *item) const;
    // The row a drag of this list carries; -1 when the drag comes from elsewhere.
    int DraggedRow(const QMimeData *data) const;
    // Moves the row and its item in the queue: remove at `from`, insert at `to`.
    void MoveRow(int from, int to);
    // Rows for the items added since the last call; runs by itself soon after an add.
    void AddPendingRows();

private:
    // Rows show changes a few times a second: a queue of small files changes many
    // rows a second, and repainting for each would slow the queue down.
    void ItemChanged(const TTransferItem &item);
    void ShowChangedRows();
    void ItemRemoved(const TTransferItem &item);

    TTransferItems &FQueue;
    TScopedConnections FQueueConnections;
    std::vector<TTransferItem *> FRows;
    std::unordered_map<const TTransferItem *, int> FRowOf;
    std::vector<TTransferItem *> FNewRows;
    QTimer *FChangeTimer = nullptr;
    int FFirstChanged = -1;
    int FLastChanged = -1;
};

// The list: its rows can be dragged onto other rows of the same list.
class TTransferListView : public QTableView
{
    Q_OBJECT
public:
    explicit TTransferListView(QWidget *parent = nullptr);

signals:
    // A row of this list was dropped on `targetRow`.
    void RowDropped(int targetRow);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool AcceptsDrop(const QMimeData *data, QPoint position) const;
};

class TfrmTransferMngr : public QWidget
{
    Q_OBJECT
public:
    // Skip of `progress` cancels a running item.
    TfrmTransferMngr(TTransferItems &queue, TfrmTransfer &progress, QWidget *parent = nullptr);

    TTransferListView *List() const { return lvTransfer; }
    TTransferListModel &Model() const { return *FModel; }
    QMenu *Popup() const { return mnupopTransfer; }
    QAction *CancelMenuItem() const { return CancelMnuItm; }
    QAction *ResubmitMenuItem() const { return ResubmitMnuItm; }

    // The pop-up for a row (-1: no row), with its commands enabled for that row's item.
    void PreparePopup(int row);
    void CancelClick();
    void ResubmitClick();
    // The selected row is dropped on `targetRow`.
    void DropSelectedRow(int targetRow);

signals:
    // Shown or hidden, also by its close box: the main window's check mark follows.
    void VisibilityChanged(bool shown);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    TTransferItems &FQueue;
    TfrmTransfer &FProgress;
    TTransferListModel *FModel = nullptr;
    TTransferListView *lvTransfer = nullptr;
    QMenu *mnupopTransfer = nullptr;
    QAction *CancelMnuItm = nullptr;
    QAction *ResubmitMnuItm = nullptr;
    // The item of the row the pop-up was opened on: rows may move while it is open.
    TTransferItem *FClickedItem = nullptr;
};
