#pragma once

#include "app/WindowState.h"

#include <QObject>
#include <QString>

#include <functional>

class QTabWidget;
class TCustomView;

// The views of one side, one per tab: the active one, opening and closing views, their
// captions and the side's column widths. The window hears the views through it.
class TViewTabs : public QObject
{
    Q_OBJECT
public:
    TViewTabs(QTabWidget *tabs, TViewSide side, const TWindowStateStore &store);
    // Frees the views unheard: their last reports must not reach a window going away.
    ~TViewTabs() override;

    QTabWidget *Tabs() const { return FTabs; }
    int Count() const;
    // Null only while a view closes.
    TCustomView *Active() const { return FActive; }

    // Where a transfer started by any view of this side goes.
    void SetTransferTarget(std::function<TCustomView *()> target) { FTarget = std::move(target); }

    // Adds `view` on a new tab and makes it the active one; it takes the side's stored
    // column widths.
    void Add(TCustomView *view, const QString &caption);
    // Closes the active view when another is left and frees it; `next` names the tab
    // to show among those remaining, from the closed index and the count before.
    bool CloseActive(const std::function<int(int closed, int countBefore)> &next);

    // The view's reports no longer reach the side's listeners.
    void Detach(TCustomView *view);

    QString Caption(const TCustomView *view) const;
    void SetCaption(const TCustomView *view, const QString &caption);
    void SetHint(const TCustomView *view, const QString &hint);

    // The active view's first four column widths, to and from the window's store.
    void SaveColumnWidths() const;
    void LoadColumnWidths() const;

signals:
    // After a switch of tabs (also by Add and CloseActive); `previous` is null when it
    // was closed.
    void ActiveChanged(TCustomView *previous, TCustomView *current);
    void CountChanged(int count);
    // A view is about to close: whoever holds it lets go.
    void Closing(TCustomView *view);
    // What every view of the side reports.
    void ViewStateReported(TCustomView *view, int state, int count);
    void ViewFolderShown(TCustomView *view);

private:
    void Activate(int index);

    QTabWidget *const FTabs;
    const TViewSide FSide;
    const TWindowStateStore &FStore;
    TCustomView *FActive = nullptr;
    std::function<TCustomView *()> FTarget;
};
