#include "views/FileList.h"

#include "views/StatusTexts.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QLocale>
#include <QTreeView>

#include <algorithm>
#include <vector>

namespace {

// Names up to about this many characters show whole in the icon styles.
constexpr int ListChars = 40;
constexpr int LargeIconChars = 14;

void SetUpView(QAbstractItemView *view)
{
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setDefaultDropAction(Qt::CopyAction);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
}

// Gives the view our model and shared selection, freeing the selection models the view
// made for itself.
void AttachModel(QAbstractItemView *view, QAbstractItemModel *model, QItemSelectionModel *selection)
{
    QItemSelectionModel *previous = view->selectionModel();
    if (view->model() != model)
        view->setModel(model);
    QItemSelectionModel *created = view->selectionModel();
    if (created != selection)
        view->setSelectionModel(selection);
    const auto ownedByView = [&](QItemSelectionModel *own) {
        return own && own != selection && own->parent() == view;
    };
    if (previous != created && ownedByView(previous))
        delete previous;
    if (ownedByView(created))
        delete created;
}

} // namespace

std::array<int, 4> DefaultColumnWidths(const QFontMetrics &metrics)
{
    constexpr int fitsBeside = 480;
    // Room for the header's sort arrow and the cell margins.
    const int padding = metrics.horizontalAdvance(QLatin1Char('M')) * 2;
    // The widest date of the locale's short format: a two-digit day, month and hour.
    const QString date =
        QLocale().toString(QDateTime(QDate(2026, 12, 28), QTime(23, 59)), QLocale::ShortFormat);
    const int modified = metrics.horizontalAdvance(date) + padding;
    const int size = metrics.horizontalAdvance(ListSizeText(9'999'999'999LL)) + padding;
    const int type = metrics.horizontalAdvance(QStringLiteral("File Folder")) + padding;
    const int name =
        std::max(metrics.horizontalAdvance(QLatin1Char('x')) * 20, fitsBeside - modified - size - type);
    return {name, size, type, modified};
}

TFileList::TFileList(QWidget *parent)
    : QStackedWidget(parent), FDetails(new TDetailsView(this)), FIcons(new TIconsView(this))
{
    SetUpView(FDetails);
    FDetails->setRootIsDecorated(false);
    FDetails->setItemsExpandable(false);
    FDetails->setUniformRowHeights(true);
    FDetails->setAllColumnsShowFocus(true);
    FDetails->header()->setSectionsClickable(true);
    FDetails->header()->setSortIndicatorShown(false);

    SetUpView(FIcons);
    FIcons->setMovement(QListView::Static);
    FIcons->setResizeMode(QListView::Adjust);
    FIcons->setUniformItemSizes(true);
    FIcons->setWrapping(true);
    FIcons->setLayoutMode(QListView::Batched);

    addWidget(FDetails);
    addWidget(FIcons);
    setCurrentWidget(FDetails);
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(FDetails), static_cast<QAbstractItemView *>(FIcons)}) {
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint &pos) {
            emit ContextMenuRequested(view->viewport()->mapToGlobal(pos));
        });
    }
}

void TFileList::SetModel(QAbstractItemModel *model)
{
    QItemSelectionModel *old = FSelection;
    FModel = model;
    FRoot = QModelIndex();
    FSelection = new QItemSelectionModel(model, this);
    connect(FSelection, &QItemSelectionModel::selectionChanged, this, &TFileList::SelectionChanged);
    AttachModel(FDetails, model, FSelection);
    if (FStyle != 3)
        AttachModel(FIcons, model, FSelection);
    delete old;
}

void TFileList::SetRootIndex(const QModelIndex &root)
{
    FRoot = root;
    FDetails->setRootIndex(root);
    if (FStyle != 3)
        FIcons->setRootIndex(root);
}

void TFileList::SetStyle(int style)
{
    style = std::clamp(style, 0, 3);
    if (style == FStyle)
        return;
    FStyle = style;
    if (style == 3) {
        setCurrentWidget(FDetails);
        // A hidden icons page would still follow every change of a long list.
        FIcons->setModel(nullptr);
        return;
    }
    if (FModel) {
        AttachModel(FIcons, FModel, FSelection);
        FIcons->setRootIndex(FRoot);
    }
    // Every item gets one cell, whatever name came first, so names show whole up to the
    // cell's width; a fixed cell also keeps the layout of a long list cheap.
    const QFontMetrics metrics = FIcons->fontMetrics();
    if (style == 0) {
        FIcons->setViewMode(QListView::IconMode);
        FIcons->setFlow(QListView::LeftToRight);
        FIcons->setIconSize(QSize(32, 32));
        FIcons->setWordWrap(true);
        FIcons->setGridSize(QSize(metrics.averageCharWidth() * LargeIconChars, 32 + 2 * metrics.height() + 8));
    } else {
        FIcons->setViewMode(QListView::ListMode);
        FIcons->setFlow(style == 1 ? QListView::LeftToRight : QListView::TopToBottom);
        FIcons->setIconSize(QSize(16, 16));
        FIcons->setWordWrap(false);
        FIcons->setGridSize(QSize(16 + 8 + metrics.averageCharWidth() * ListChars, std::max(16, metrics.height()) + 4));
    }
    FIcons->setWrapping(true);
    FIcons->setMovement(QListView::Static);
    setCurrentWidget(FIcons);
}

QAbstractItemView *TFileList::CurrentView() const
{
    return FStyle == 3 ? static_cast<QAbstractItemView *>(FDetails) : FIcons;
}

QHeaderView *TFileList::Header() const
{
    return FDetails->header();
}

void TFileList::UseDefaultColumnWidths()
{
    QHeaderView *header = Header();
    const std::array<int, 4> widths = DefaultColumnWidths(header->fontMetrics());
    for (int i = 0; i < std::min(header->count(), int(widths.size())); ++i)
        header->resizeSection(i, widths[i]);
}

bool TFileList::Contains(const QObject *object) const
{
    for (; object; object = object->parent()) {
        if (object == this)
            return true;
    }
    return false;
}

TFileList *TFileList::Owning(const QObject *object)
{
    for (; object; object = object->parent()) {
        if (auto *list = qobject_cast<TFileList *>(const_cast<QObject *>(object)))
            return list;
    }
    return nullptr;
}

int TFileList::RowCount() const
{
    return FModel ? FModel->rowCount(FRoot) : 0;
}

QModelIndex TFileList::Item(int row) const
{
    return FModel ? FModel->index(row, 0, FRoot) : QModelIndex();
}

QModelIndexList TFileList::SelectedRows() const
{
    QModelIndexList rows;
    if (!FModel || !FSelection)
        return rows;
    // Ranges may overlap; a row map keeps each row once and in list order.
    const int count = RowCount();
    std::vector<bool> selected(std::size_t(count), false);
    bool any = false;
    for (const QItemSelectionRange &range : FSelection->selection()) {
        if (range.parent() != FRoot)
            continue;
        for (int row = std::max(range.top(), 0); row <= std::min(range.bottom(), count - 1); ++row) {
            selected[std::size_t(row)] = true;
            any = true;
        }
    }
    if (!any)
        return rows;
    for (int row = 0; row < count; ++row) {
        if (selected[std::size_t(row)])
            rows.append(FModel->index(row, 0, FRoot));
    }
    return rows;
}

int TFileList::SelectedCount() const
{
    if (!FSelection || !FSelection->hasSelection())
        return 0;
    // Counted from the ranges, not row by row: the count is asked after every file of a
    // long run while thousands of rows stay selected.
    std::vector<std::pair<int, int>> spans;
    const int last = RowCount() - 1;
    for (const QItemSelectionRange &range : FSelection->selection()) {
        if (range.parent() == FRoot && range.top() <= last && range.bottom() >= 0)
            spans.emplace_back(std::max(range.top(), 0), std::min(range.bottom(), last));
    }
    std::sort(spans.begin(), spans.end());
    int count = 0;
    int covered = -1;
    for (const auto &[top, bottom] : spans) {
        if (bottom > covered) {
            count += bottom - std::max(top, covered + 1) + 1;
            covered = bottom;
        }
    }
    return count;
}

void TFileList::SelectAllRows()
{
    const int count = RowCount();
    if (!FSelection || count == 0)
        return;
    const QItemSelection all(FModel->index(0, 0, FRoot), FModel->index(count - 1, 0, FRoot));
    FSelection->select(all, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

void TFileList::InvertSelectionRows()
{
    const int count = RowCount();
    if (!FSelection || count == 0)
        return;
    const QItemSelection all(FModel->index(0, 0, FRoot), FModel->index(count - 1, 0, FRoot));
    FSelection->select(all, QItemSelectionModel::Toggle | QItemSelectionModel::Rows);
}

void TFileList::ClearSelection()
{
    if (FSelection)
        FSelection->clearSelection();
}

void TFileList::SelectRow(int row, bool select)
{
    if (!FSelection || row < 0 || row >= RowCount())
        return;
    FSelection->select(Item(row), (select ? QItemSelectionModel::Select : QItemSelectionModel::Deselect)
                                      | QItemSelectionModel::Rows);
}

void TFileList::SelectRows(const std::vector<int> &rows)
{
    if (!FSelection || rows.empty())
        return;
    const int count = RowCount();
    QItemSelection selection;
    std::size_t i = 0;
    while (i < rows.size()) {
        const int first = rows[i];
        int last = first;
        while (i + 1 < rows.size() && rows[i + 1] == last + 1)
            last = rows[++i];
        ++i;
        if (first >= 0 && last < count)
            selection.select(Item(first), Item(last));
    }
    FSelection->select(selection, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QModelIndex TFileList::CurrentItem() const
{
    if (!FSelection)
        return QModelIndex();
    const QModelIndex current = FSelection->currentIndex();
    return current.isValid() ? current.siblingAtColumn(0) : current;
}

void TFileList::SetCurrentItem(const QModelIndex &item)
{
    if (FSelection)
        FSelection->setCurrentIndex(item, QItemSelectionModel::NoUpdate);
}

bool TFileList::IsEditing() const
{
    return FStyle == 3 ? FDetails->IsEditing() : FIcons->IsEditing();
}
