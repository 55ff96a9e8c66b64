#include "transfers/TranMan.h"

#include "transfers/TransferDisplay.h"
#include "transfers/TransferProgress.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QString RowMimeType = QStringLiteral("application/x-ferrow-transfer-row");
constexpr int ChangeIntervalMS = 250;

QIcon StatusIcon(TTransferStatus status)
{
    static const QStyle::StandardPixmap pixmaps[TransferStatusCount] = {
        QStyle::SP_BrowserReload,      // pending
        QStyle::SP_ArrowForward,       // in progress
        QStyle::SP_DialogApplyButton,  // done
        QStyle::SP_DialogCancelButton, // cancelled
        QStyle::SP_MessageBoxWarning,  // failed
    };
    return QApplication::style()->standardIcon(pixmaps[status]);
}

} // namespace

// ---- TTransferListModel ----

TTransferListModel::TTransferListModel(TTransferItems &queue, QObject *parent)
    : QAbstractTableModel(parent)
    , FQueue(queue)
{
    FChangeTimer = new QTimer(this);
    FChangeTimer->setSingleShot(true);
    FChangeTimer->setInterval(ChangeIntervalMS);
    connect(FChangeTimer, &QTimer::timeout, this, &TTransferListModel::ShowChangedRows);
    FQueueConnections += FQueue.OnItemAdded.Connect([this](TTransferItems &, TTransferItem &item) {
        if (FNewRows.empty())
            QTimer::singleShot(0, this, &TTransferListModel::AddPendingRows);
        FNewRows.push_back(&item);
    });
    FQueueConnections += FQueue.OnItemStatusChanged.Connect(
        [this](TTransferItems &, TTransferItem &item) { ItemChanged(item); });
    FQueueConnections +=
        FQueue.OnItemProgress.Connect([this](TTransferItems &, TTransferItem &item) { ItemChanged(item); });
    FQueueConnections += FQueue.OnItemSizeChanged.Connect(
        [this](TTransferItems &, TTransferItem &item) { ItemChanged(item); });
    FQueueConnections +=
        FQueue.OnItemRemoved.Connect([this](TTransferItems &, TTransferItem &item) { ItemRemoved(item); });
}

void TTransferListModel::AddPendingRows()
{
    if (FNewRows.empty())
        return;
    const int first = int(FRows.size());
    beginInsertRows(QModelIndex(), first, first + int(FNewRows.size()) - 1);
    for (TTransferItem *item : FNewRows) {
        FRowOf.emplace(item, int(FRows.size()));
        FRows.push_back(item);
    }
    FNewRows.clear();
    endInsertRows();
}

int TTransferListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(FRows.size());
}

int TTransferListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

TTransferItem *TTransferListModel::Item(int row) const
{
    return row >= 0 && row < int(FRows.size()) ? FRows[std::size_t(row)] : nullptr;
}

int TTransferListModel::RowOf(const TTransferItem *item) const
{
    const auto found = FRowOf.find(item);
    return found == FRowOf.end() ? -1 : found->second;
}

QVariant TTransferListModel::data(const QModelIndex &index, int role) const
{
    const TTransferItem *item = Item(index.row());
    if (!item)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case colFile:
            return DisplayText(item->Name);
        case colSize:
            return QString::number(item->Size);
        case colLocal:
            return DisplayText(LocalFolderOf(*item));
        case colHost:
            return DisplayText(HostFolderOf(*item));
        case colStatus:
            return RowStatusText(*item);
        }
        break;
    case Qt::DecorationRole:
        if (index.column() == colFile)
            return StatusIcon(item->Status());
        break;
    case Qt::TextAlignmentRole:
        if (index.column() == colSize)
            return int(Qt::AlignRight | Qt::AlignVCenter);
        break;
    case StatusRole:
        return int(item->Status());
    }
    return {};
}

QVariant TTransferListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::TextAlignmentRole && section == colSize)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole)
        return {};
    static const char *const captions[ColumnCount] = {"File", "Size", "Local Directory", "Host Directory",
                                                      "Status"};
    return section >= 0 && section < ColumnCount ? tr(captions[section]) : QVariant();
}

Qt::ItemFlags TTransferListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;
}

QStringList TTransferListModel::mimeTypes() const
{
    return {RowMimeType};
}

QMimeData *TTransferListModel::mimeData(const QModelIndexList &indexes) const
{
    if (indexes.isEmpty())
        return nullptr;
    auto *data = new QMimeData;
    // The model's address tells this list's drags from another's.
    data->setData(RowMimeType,
                  QByteArray::number(quintptr(this)) + ' ' + QByteArray::number(indexes.first().row()));
    return data;
}

int TTransferListModel::DraggedRow(const QMimeData *data) const
{
    if (!data || !data->hasFormat(RowMimeType))
        return -1;
    const QList<QByteArray> fields = data->data(RowMimeType).split(' ');
    bool ok = false;
    if (fields.size() != 2 || fields[0].toULongLong(&ok) != quintptr(this) || !ok)
        return -1;
    const int row = fields[1].toInt(&ok);
    return ok && Item(row) ? row : -1;
}

void TTransferListModel::MoveRow(int from, int to)
{
    AddPendingRows();
    if (!Item(from) || !Item(to) || from == to)
        return;
    // Rows are in queue order, so the row is the item's index in the queue.
    FQueue.Move(from, to);
    beginMoveRows(QModelIndex(), from, from, QModelIndex(), to > from ? to + 1 : to);
    const auto begin = FRows.begin();
    if (from < to)
        std::rotate(begin + from, begin + from + 1, begin + to + 1);
    else
        std::rotate(begin + to, begin + from, begin + from + 1);
    for (int row = std::min(from, to); row <= std::max(from, to); ++row)
        FRowOf[FRows[std::size_t(row)]] = row;
    endMoveRows();
}

void TTransferListModel::ItemRemoved(const TTransferItem &item)
{
    std::erase(FNewRows, &item);
    const int row = RowOf(&item);
    if (row < 0)
        return;
    beginRemoveRows(QModelIndex(), row, row);
    FRowOf.erase(&item);
    FRows.erase(FRows.begin() + row);
    for (std::size_t later = std::size_t(row); later < FRows.size(); ++later)
        FRowOf[FRows[later]] = int(later);
    endRemoveRows();
}

void TTransferListModel::ItemChanged(const TTransferItem &item)
{
    const int row = RowOf(&item);
    if (row < 0)
        return;
    FFirstChanged = FFirstChanged < 0 ? row : std::min(FFirstChanged, row);
    FLastChanged = std::max(FLastChanged, row);
    if (!FChangeTimer->isActive())
        FChangeTimer->start();
}

void TTransferListModel::ShowChangedRows()
{
    if (FFirstChanged < 0)
        return;
    const int first = std::min(FFirstChanged, rowCount() - 1);
    const int last = std::min(FLastChanged, rowCount() - 1);
    FFirstChanged = FLastChanged = -1;
    if (first >= 0 && last >= first)
        emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}

// ---- TTransferListView ----

TTransferListView::TTransferListView(QWidget *parent)
    : QTableView(parent)
{
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(true);
    setWordWrap(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
}

bool TTransferListView::AcceptsDrop(const QMimeData *data, QPoint position) const
{
    const auto *list = qobject_cast<const TTransferListModel *>(model());
    return list && list->DraggedRow(data) >= 0 && indexAt(position).isValid();
}

void TTransferListView::dragEnterEvent(QDragEnterEvent *event)
{
    // Entering over the header or empty space is allowed; the move decides.
    const auto *list = qobject_cast<const TTransferListModel *>(model());
    if (list && list->DraggedRow(event->mimeData()) >= 0)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TTransferListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (AcceptsDrop(event->mimeData(), event->position().toPoint()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TTransferListView::dropEvent(QDropEvent *event)
{
    const QPoint position = event->position().toPoint();
    if (!AcceptsDrop(event->mimeData(), position)) {
        event->ignore();
        return;
    }
    // The rows move here; the drag must not delete anything at its source.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit RowDropped(indexAt(position).row());
}

// ---- TfrmTransferMngr ----

TfrmTransferMngr::TfrmTransferMngr(TTransferItems &queue, TfrmTransfer &progress, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , FQueue(queue)
    , FProgress(progress)
{
    setWindowTitle(tr("Transfer Manager"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    FModel = new TTransferListModel(queue, this);
    lvTransfer = new TTransferListView(this);
    lvTransfer->setObjectName(QStringLiteral("lvTransfer"));
    lvTransfer->setModel(FModel);
    layout->addWidget(lvTransfer);
    // At least the captions' widths; paths and the running status need more.
    QHeaderView *header = lvTransfer->horizontalHeader();
    header->resizeSections(QHeaderView::ResizeToContents);
    const int widths[TTransferListModel::ColumnCount] = {150, 80, 240, 110, 90};
    for (int column = 0; column < TTransferListModel::ColumnCount; ++column)
        header->resizeSection(column, std::max(header->sectionSize(column), widths[column]));
    lvTransfer->verticalHeader()->setDefaultSectionSize(lvTransfer->fontMetrics().height() + 8);

    mnupopTransfer = new QMenu(this);
    CancelMnuItm = mnupopTransfer->addAction(tr("&Cancel"), this, &TfrmTransferMngr::CancelClick);
    CancelMnuItm->setObjectName(QStringLiteral("CancelMnuItm"));
    ResubmitMnuItm = mnupopTransfer->addAction(tr("&Re-submit"), this, &TfrmTransferMngr::ResubmitClick);
    ResubmitMnuItm->setObjectName(QStringLiteral("ResubmitMnuItm"));
    connect(lvTransfer, &QWidget::customContextMenuRequested, this, [this](QPoint position) {
        PreparePopup(lvTransfer->indexAt(position).row());
        mnupopTransfer->popup(lvTransfer->viewport()->mapToGlobal(position));
    });
    connect(lvTransfer, &TTransferListView::RowDropped, this, &TfrmTransferMngr::DropSelectedRow);
    resize(840, 300);
}

void TfrmTransferMngr::PreparePopup(int row)
{
    FClickedItem = FModel->Item(row);
    const TTransferStatus status = FClickedItem ? FClickedItem->Status() : tsDone;
    CancelMnuItm->setEnabled(FClickedItem && CanCancelTransfer(status));
    ResubmitMnuItm->setEnabled(FClickedItem && CanResubmitTransfer(status));
}

void TfrmTransferMngr::CancelClick()
{
    // The item may have left the queue while the pop-up was open.
    TTransferItem *item = FModel->RowOf(FClickedItem) >= 0 ? FClickedItem : nullptr;
    if (!item || !CanCancelTransfer(item->Status()))
        return;
    if (item->Status() == tsInProgress && item == FProgress.CurrentItem())
        FProgress.SkipClick();
    else if (item->Status() == tsPending)
        item->SetStatus(tsCancelled);
}

void TfrmTransferMngr::ResubmitClick()
{
    TTransferItem *item = FModel->RowOf(FClickedItem) >= 0 ? FClickedItem : nullptr;
    if (!item)
        return;
    if (item->Status() == tsCancelled)
        item->SetStatus(tsPending);
    FQueue.ProcessNext();
}

void TfrmTransferMngr::DropSelectedRow(int targetRow)
{
    const QModelIndexList selected = lvTransfer->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return;
    const int dragged = selected.first().row();
    FModel->MoveRow(dragged, targetRow);
}

void TfrmTransferMngr::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    emit VisibilityChanged(true);
}

void TfrmTransferMngr::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    emit VisibilityChanged(false);
}
