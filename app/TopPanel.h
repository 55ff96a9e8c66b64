#pragma once

#include "app/Actions.h"

#include <QFont>
#include <QWidget>

#include <initializer_list>
#include <utility>
#include <vector>

class QFontMetrics;

class QLabel;
class QStackedWidget;
class QTimer;
class TDragBar;
class TInternalViewer;
class TMessageWindow;

// `caption` broken at blanks into at most `lines` lines of `width` pixels; a line that
// still does not fit is cut with an ellipsis.
QString WrappedCaption(const QString &caption, const QFontMetrics &metrics, int width, int lines);

// The top of the main window: the toolbar, the bar below it that switches it between
// small and large when dragged, and the message window, which can be hidden.
class TTopPanel : public QWidget
{
    Q_OBJECT
public:
    // The toolbar shows `toolbar`; `showLog` is the command whose check mark follows
    // the message window.
    TTopPanel(TActionRegistry &actions, std::initializer_list<TCommand> toolbar, TCommand showLog,
              QWidget *parent = nullptr);

    TMessageWindow *MessageWindow() const { return reLog; }
    // The internal viewer, in the message window's place while it is shown.
    TInternalViewer *Viewer() const { return FViewer; }
    bool ViewerShown() const;
    void SetViewerShown(bool shown);
    // The activity animation at the toolbar's right end.
    void SetActivity(bool playing);
    bool ActivityPlaying() const;
    int ToolbarHeight() const;
    bool LogShown() const;
    void SetLogShown(bool shown);
    void SetLargeToolbar(bool large);
    // The bar under the panel was dragged by `delta` from `startHeight`; the panel takes
    // at most `limit`.
    void DragTo(int startHeight, int delta, int limit);

protected:
    // The large toolbar carries the captions and shows no hints.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void DragToolbar(QPoint delta);
    void DrawActivityFrame();

    TActionRegistry &FActions;
    // The toolbar's commands with their captions as written.
    std::vector<std::pair<QAction *, QString>> FCaptions;
    const TCommand FShowLog;
    QWidget *pnlToolbar = nullptr;
    TDragBar *barToolbar = nullptr;
    QStackedWidget *pnlMessages = nullptr;
    TMessageWindow *reLog = nullptr;
    TInternalViewer *FViewer = nullptr;
    QLabel *aviActivity = nullptr;
    QTimer *FActivityTimer = nullptr;
    QFont FCaptionFont;
    int FActivityFrame = 0;
    bool FLargeToolbar = false;
    int FRememberedLogHeight = 0;
    int FToolbarDragStart = 0;
};
