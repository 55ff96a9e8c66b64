#include "views/AllViews.h"

#include "engine/FTPUtils.h"
#include "views/FileList.h"
#include "views/StatusTexts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QStatusBar>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

constexpr int PanelWidths[3] = {40, 120, 160};

// A status panel as wide as its text, and at least its design width, while there is
// room; where there is none the panels shrink side by side and cut their texts.
class TStatusPanel : public QLabel
{
public:
    TStatusPanel(int designWidth, QWidget *parent) : QLabel(parent), FDesignWidth(designWidth)
    {
        setMinimumWidth(1);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
    QSize sizeHint() const override
    {
        const QSize text = QLabel::sizeHint();
        return QSize(std::max(text.width(), FDesignWidth), text.height());
    }

protected:
    // A cut text keeps its beginning: a number that lost its first digits would mislead.
    void paintEvent(QPaintEvent *event) override
    {
        const QRect room = contentsRect();
        if (fontMetrics().horizontalAdvance(text()) <= room.width())
            return QLabel::paintEvent(event);
        QFrame::paintEvent(event);
        QPainter painter(this);
        painter.drawText(room, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, room.width()));
    }

private:
    const int FDesignWidth;
};

} // namespace

TKeyAction ListKeyAction(int key, Qt::KeyboardModifiers modifiers, bool hasSelection)
{
    const bool ctrl = modifiers & Qt::ControlModifier;
    const bool shift = modifiers & Qt::ShiftModifier;
    const bool alt = modifiers & Qt::AltModifier;
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return alt ? TKeyAction::Properties : TKeyAction::Open;
    case Qt::Key_Delete:
        if (!hasSelection)
            return TKeyAction::None;
        return shift ? TKeyAction::DeleteNoConfirm : TKeyAction::Delete;
    case Qt::Key_F2:
        return TKeyAction::Rename;
    case Qt::Key_F5:
        return TKeyAction::Refresh;
    case Qt::Key_A:
        if (!ctrl)
            return TKeyAction::None;
        return shift ? TKeyAction::InvertSelection : TKeyAction::SelectAll;
    case Qt::Key_C:
        return ctrl ? TKeyAction::Copy : TKeyAction::None;
    case Qt::Key_X:
        return ctrl ? TKeyAction::Cut : TKeyAction::None;
    case Qt::Key_V:
        return ctrl ? TKeyAction::Paste : TKeyAction::None;
    case Qt::Key_Menu:
        return TKeyAction::ContextMenu;
    case Qt::Key_F10:
        // The desktops' other key for a pop-up; F10 alone belongs to the viewer.
        return shift ? TKeyAction::ContextMenu : TKeyAction::None;
    case Qt::Key_Backspace:
        return TKeyAction::FolderUp;
    default:
        return TKeyAction::None;
    }
}

TCustomView *DragSourceView(const QObject *source)
{
    const TFileList *list = TFileList::Owning(source);
    if (!list)
        return nullptr;
    for (QObject *object = list->parent(); object; object = object->parent()) {
        if (auto *view = qobject_cast<TCustomView *>(object))
            return view->ListView() == list ? view : nullptr;
    }
    return nullptr;
}

TCustomView::TCustomView(QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    CreateStatusBar();
}

TCustomView::~TCustomView() = default;

void TCustomView::CreateStatusBar()
{
    FStatusBar = new QStatusBar(this);
    FStatusBar->setSizeGripEnabled(false);
    for (int panel = 0; panel < 4; ++panel) {
        auto *label = new TStatusPanel(panel < 3 ? PanelWidths[panel] : 0, FStatusBar);
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMouseTracking(true);
        label->installEventFilter(this);
        if (panel < 3) {
            FStatusBar->addWidget(label);
        } else {
            label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            FStatusBar->addWidget(label, 1);
        }
        FPanels[panel] = label;
    }
    SetPanelText(0, QStringLiteral("*.*"));
    layout()->addWidget(FStatusBar);
}

void TCustomView::SetListView(TFileList *list)
{
    FListView = list;
    static_cast<QVBoxLayout *>(layout())->insertWidget(0, list, 1);
    for (QAbstractItemView *view : {static_cast<QAbstractItemView *>(list->DetailsView()),
                                    static_cast<QAbstractItemView *>(list->IconsView())}) {
        view->installEventFilter(this);
        view->viewport()->installEventFilter(this);
        connect(view, &QAbstractItemView::doubleClicked, this,
                [this] { ListDblClick(QApplication::keyboardModifiers()); });
    }
    connect(list, &TFileList::SelectionChanged, this, &TCustomView::UpdateStatus);
}

QString TCustomView::GetFolder() const
{
    QString folder = FFolder;
    AppendCharIfMissing(folder, FSeperator);
    return folder;
}

void TCustomView::SetFolder(const QString &value)
{
    FFolder = value;
    AppendCharIfMissing(FFolder, FSeperator);
    FTotalSize = -1;
    UpdateStatus();
}

void TCustomView::SetMask(const QString &value)
{
    SetPanelText(0, value.isEmpty() ? QStringLiteral("*.*") : value.toLower());
}

QString TCustomView::PanelText(int panel) const
{
    return panel >= 0 && panel < 4 ? FPanels[panel]->text() : QString();
}

void TCustomView::SetPanelText(int panel, const QString &text)
{
    if (panel < 0 || panel >= 4)
        return;
    QLabel *label = FPanels[panel];
    label->setText(text);
    // The mask says what the list hides; a short one stays whole in a narrow side.
    if (panel == 0) {
        const int whole = label->fontMetrics().horizontalAdvance(text) + 2 * label->frameWidth() + 4;
        label->setMinimumWidth(std::min(whole, PanelWidths[0]));
    }
}

int TCustomView::ViewStyle() const
{
    return FListView ? FListView->Style() : lsDetails;
}

void TCustomView::SetViewStyle(int style)
{
    if (FListView)
        FListView->SetStyle(style);
}

int TCustomView::ItemCount() const
{
    return FListView ? FListView->RowCount() : 0;
}

int TCustomView::SelectedCount() const
{
    return FListView ? FListView->SelectedCount() : 0;
}

QModelIndexList TCustomView::SelectedItems() const
{
    return FListView ? FListView->SelectedRows() : QModelIndexList();
}

QModelIndex TCustomView::FocusedItem() const
{
    return FListView ? FListView->CurrentItem() : QModelIndex();
}

bool TCustomView::ListHasFocus() const
{
    return FListView && FListView->CurrentView()->hasFocus();
}

bool TCustomView::IsEditing() const
{
    return FListView && FListView->IsEditing();
}

void TCustomView::PerformDoubleClick(const QModelIndex &item)
{
    if (!item.isValid())
        return;
    if (IsListened(&TCustomView::FileOpened) && !IsFolder(item))
        emit FileOpened(this, item);
    else
        EnterFolder(item);
}

void TCustomView::BeginRename()
{
    const QModelIndex item = FocusedItem();
    if (item.isValid())
        FListView->CurrentView()->edit(item);
}

void TCustomView::SelectAll()
{
    if (!FListView)
        return;
    FDoUpdates = false;
    FListView->SelectAllRows();
    FDoUpdates = true;
    UpdateStatus();
}

void TCustomView::InvertSelection()
{
    if (!FListView)
        return;
    FDoUpdates = false;
    FListView->InvertSelectionRows();
    FDoUpdates = true;
    UpdateStatus();
}

bool TCustomView::TransferTo(TCustomView *target)
{
    return target ? target->TransferFrom(this) : false;
}

void TCustomView::SetTransferTarget(const QObject *owner, TTransferTargetProvider provider)
{
    FTransferTargetOwner = owner;
    FTransferTarget = owner ? std::move(provider) : nullptr;
}

TCustomView *TCustomView::TransferTarget()
{
    if (!FTransferTargetOwner || !FTransferTarget)
        return nullptr;
    return FTransferTarget(this);
}

void TCustomView::RaiseUpdateState(int state, int count)
{
    emit StateReported(this, state, count);
}

void TCustomView::UpdateStatus()
{
    if (!FDoUpdates || !FListView)
        return;
    const QModelIndexList selected = SelectedItems();
    RaiseUpdateState(vsStatus, int(selected.size()));
    const int count = ItemCount();
    if (FTotalSize < 0) {
        FTotalSize = 0;
        for (int row = 0; row < count; ++row)
            FTotalSize += ListedItemSize(FListView->Item(row));
    }
    SetPanelText(1, EntriesText(count, FTotalSize));
    FSelectedSize = 0;
    for (const QModelIndex &item : selected)
        FSelectedSize += ListedItemSize(item);
    SetPanelText(2, SelectedText(int(selected.size()), FSelectedSize));
}

void TCustomView::ListDblClick(Qt::KeyboardModifiers modifiers)
{
    const QModelIndexList selected = SelectedItems();
    if (selected.isEmpty())
        return;
    if (modifiers & Qt::AltModifier)
        ShowProperties();
    else
        PerformDoubleClick(selected.first());
}

bool TCustomView::ListDragOver(const QObject *source) const
{
    const TCustomView *sourceView = DragSourceView(source);
    return sourceView && sourceView != this;
}

bool TCustomView::ExternalDragOver(const QMimeData *) const
{
    return false;
}

void TCustomView::ExternalDragDrop(const QMimeData *) {}

bool TCustomView::DragAccepted(const QDropEvent &drag) const
{
    // Only another program's drag has no source here.
    if (!drag.source())
        return ExternalDragOver(drag.mimeData());
    return ListDragOver(drag.source());
}

void TCustomView::ListDragDrop(const QObject *source)
{
    if (!ListDragOver(source))
        return;
    DragSourceView(source)->TransferTo(this);
}

bool TCustomView::ListKeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    if (IsEditing())
        return false;
    const TKeyAction action = ListKeyAction(key, modifiers, SelectedCount() > 0);
    switch (action) {
    case TKeyAction::None:
        break;
    case TKeyAction::Open:
        PerformDoubleClick(FocusedItem());
        break;
    case TKeyAction::Properties:
        ShowProperties();
        break;
    case TKeyAction::Delete:
        DeleteSelected(true);
        break;
    case TKeyAction::DeleteNoConfirm:
        DeleteSelected(false);
        break;
    case TKeyAction::Rename:
        BeginRename();
        break;
    case TKeyAction::Refresh:
        Refresh();
        break;
    case TKeyAction::SelectAll:
        SelectAll();
        break;
    case TKeyAction::InvertSelection:
        InvertSelection();
        break;
    case TKeyAction::Copy:
        CopySelection();
        break;
    case TKeyAction::Cut:
        CutSelection();
        break;
    case TKeyAction::Paste:
        PasteSelection();
        break;
    case TKeyAction::ContextMenu:
        OpenContextMenuAtFocus();
        break;
    case TKeyAction::FolderUp:
        FolderUp();
        break;
    }
    UpdateStatus();
    return action != TKeyAction::None;
}

void TCustomView::OpenContextMenuAtFocus()
{
    QAbstractItemView *view = FListView->CurrentView();
    const QModelIndex item = FocusedItem();
    const QPoint pos = item.isValid() ? view->visualRect(item).topLeft() + QPoint(8, 8) : QPoint(0, 0);
    QContextMenuEvent event(QContextMenuEvent::Keyboard, pos, view->viewport()->mapToGlobal(pos));
    QCoreApplication::sendEvent(view->viewport(), &event);
}

bool TCustomView::eventFilter(QObject *watched, QEvent *event)
{
    for (int panel = 0; panel < 4; ++panel) {
        if (watched != FPanels[panel])
            continue;
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter) {
            // Only a text the panel cuts off needs a hint, and then at once.
            QLabel *label = FPanels[panel];
            const int textWidth = label->fontMetrics().horizontalAdvance(label->text());
            if (textWidth > label->width() - 10)
                QToolTip::showText(QCursor::pos(), label->text(), label);
            else
                QToolTip::hideText();
        }
        return false;
    }
    if (!FListView || !FListView->Contains(watched))
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: {
        auto *key = static_cast<QKeyEvent *>(event);
        return ListKeyDown(key->key(), key->modifiers());
    }
    case QEvent::FocusIn:
    case QEvent::FocusOut:
        if (FListView->isEnabled())
            UpdateStatus();
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        if (DragAccepted(*drag)) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (DragAccepted(*drop)) {
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            if (drop->source())
                ListDragDrop(drop->source());
            else
                ExternalDragDrop(drop->mimeData());
        } else {
            drop->ignore();
        }
        return true;
    }
    default:
        return false;
    }
}
