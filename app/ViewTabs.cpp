#include "app/ViewTabs.h"

#include "views/AllViews.h"
#include "views/FileList.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <QTabWidget>

#include <algorithm>

namespace {

constexpr int kStoredColumns = 4;

} // namespace

TViewTabs::TViewTabs(QTabWidget *tabs, TViewSide side, const TWindowStateStore &store)
    : FTabs(tabs)
    , FSide(side)
    , FStore(store)
{
    connect(FTabs, &QTabWidget::currentChanged, this, &TViewTabs::Activate);
}

TViewTabs::~TViewTabs()
{
    FActive = nullptr;
    const QSignalBlocker blocker(FTabs);
    while (FTabs->count() > 0) {
        QWidget *view = FTabs->widget(0);
        FTabs->removeTab(0);
        view->disconnect();
        delete view;
    }
}

int TViewTabs::Count() const
{
    return FTabs->count();
}

void TViewTabs::Add(TCustomView *view, const QString &caption)
{
    SaveColumnWidths();
    connect(view, &TCustomView::StateReported, this, &TViewTabs::ViewStateReported);
    connect(view, &TCustomView::FolderShown, this, &TViewTabs::ViewFolderShown);
    view->SetTransferTarget(this, [this](TCustomView *) { return FTarget ? FTarget() : nullptr; });
    int index = 0;
    {
        // Adding to an empty control already makes the tab current; the switch below
        // must see the new view.
        const QSignalBlocker blocker(FTabs);
        index = FTabs->addTab(view, caption);
        FTabs->setCurrentIndex(index);
    }
    Activate(index);
    LoadColumnWidths();
    emit CountChanged(Count());
}

bool TViewTabs::CloseActive(const std::function<int(int closed, int countBefore)> &next)
{
    const int count = Count();
    if (count <= 1 || !FActive)
        return false;
    const int closed = FTabs->currentIndex();
    TCustomView *view = FActive;
    emit Closing(view);
    Detach(view);
    FActive = nullptr;
    {
        const QSignalBlocker blocker(FTabs);
        FTabs->removeTab(closed);
    }
    FTabs->setCurrentIndex(next(closed, count));
    Activate(FTabs->currentIndex());
    delete view;
    emit CountChanged(Count());
    return true;
}

void TViewTabs::Activate(int index)
{
    auto *view = qobject_cast<TCustomView *>(FTabs->widget(index));
    if (!view)
        return;
    TCustomView *previous = FActive;
    if (previous && previous != view)
        SaveColumnWidths();
    FActive = view;
    emit ActiveChanged(previous, view);
}

void TViewTabs::Detach(TCustomView *view)
{
    view->disconnect(this);
    view->SetTransferTarget(nullptr, nullptr);
}

QString TViewTabs::Caption(const TCustomView *view) const
{
    return FTabs->tabText(FTabs->indexOf(view));
}

void TViewTabs::SetCaption(const TCustomView *view, const QString &caption)
{
    if (const int index = FTabs->indexOf(view); index >= 0)
        FTabs->setTabText(index, caption);
}

void TViewTabs::SetHint(const TCustomView *view, const QString &hint)
{
    if (const int index = FTabs->indexOf(view); index >= 0)
        FTabs->setTabToolTip(index, hint);
}

void TViewTabs::SaveColumnWidths() const
{
    if (!FActive || !FActive->ListView())
        return;
    const QHeaderView *header = FActive->ListView()->Header();
    std::vector<int> widths;
    for (int i = 0; i < std::min(header->count(), kStoredColumns); ++i)
        widths.push_back(header->sectionSize(i));
    FStore.SaveColumnWidths(FSide, widths);
}

void TViewTabs::LoadColumnWidths() const
{
    if (!FActive || !FActive->ListView())
        return;
    QHeaderView *header = FActive->ListView()->Header();
    std::vector<int> widths;
    for (int i = 0; i < std::min(header->count(), kStoredColumns); ++i)
        widths.push_back(header->sectionSize(i));
    widths = FStore.LoadColumnWidths(FSide, widths);
    for (int i = 0; i < int(widths.size()); ++i)
        header->resizeSection(i, widths[i]);
}
