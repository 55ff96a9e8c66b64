#include "tools/screens/Screens.h"

#include "app/InternalViewer.h"
#include "app/Main.h"
#include "app/MessageWindow.h"
#include "transfers/TranMan.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace {

int RowOf(const TCustomView &view, const QString &name)
{
    for (int row = 0; row < view.ItemCount(); ++row) {
        if (view.GetItemName(view.ListView()->Item(row)) == name)
            return row;
    }
    return -1;
}

// The folder the pictures go to, as the command line names it.
QString OutFolder()
{
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--out"));
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1) : QString();
}

// The main window's menu `title` opened under its title.
bool SaveMenu(TScreenContext &c, const QString &title, const QString &name)
{
    TfrmMain &window = c.MainWindow();
    for (QAction *entry : window.menuBar()->actions()) {
        if (entry->text() != title || !entry->menu())
            continue;
        const QRect at = window.menuBar()->actionGeometry(entry);
        return c.SavePopup(window, *entry->menu(), window.menuBar()->mapTo(&window, at.bottomLeft()), name);
    }
    c.Fail(QStringLiteral("no menu %1").arg(title));
    return false;
}

} // namespace

// The README's picture: both sides listed, two files just downloaded from the server
// and selected on both sides, the server's dialogue above.
static const TScreenScene MainWindow{
    "main-window", [](TScreenContext &c) {
        TfrmMain &window = c.MainWindow();
        THostView &host = *window.ActiveHostView();
        TLocalView &local = *window.ActiveLocalView();
        window.Action(TCommand::ShowTransferInfo)->setChecked(false);
        // Details tell a newcomer most: sizes, dates, types.
        window.SetLocalViewStyle(3);
        window.SetHostViewStyle(3);
        host.ListView()->ClearSelection();
        const QStringList names{QStringLiteral("readme.txt"), QStringLiteral("small.bin")};
        for (const QString &name : names)
            host.ListView()->SelectRow(RowOf(host, name));
        window.Action(TCommand::Download)->trigger();
        if (!c.WaitUntil([&] { return c.Queue().IsIdle() && RowOf(local, names.back()) >= 0; }))
            c.Fail(QStringLiteral("the download did not arrive"));
        local.ListView()->ClearSelection();
        for (const QString &name : names)
            local.ListView()->SelectRow(RowOf(local, name));
        host.ListView()->CurrentView()->setFocus();
        c.Settle();
        if (c.Save(window, QStringLiteral("main-window"))) {
            const QDir out(OutFolder());
            QFile::remove(out.filePath(QStringLiteral("../screenshot.png")));
            QFile::copy(out.filePath(QStringLiteral("main-window.png")),
                        out.filePath(QStringLiteral("../screenshot.png")));
        }
        window.Action(TCommand::ShowTransferInfo)->setChecked(true);
        host.ListView()->ClearSelection();
        local.ListView()->ClearSelection();
        window.SetLocalViewStyle(2);
        window.SetHostViewStyle(2);
    }};

static const TScreenScene MainWindowLargeToolbar{"main-window-large-toolbar", [](TScreenContext &c) {
                                                     TfrmMain &window = c.MainWindow();
                                                     window.SetLargeToolbar(true);
                                                     c.Save(window,
                                                            QStringLiteral("main-window-large-toolbar"));
                                                     window.SetLargeToolbar(false);
                                                 }};

// The transfer manager is a window of its own; the picture shows it where a user would
// put it, over the lower right of the main window, with the viewer on top.
static const TScreenScene MainWindowManagerViewer{
    "main-window-manager-viewer", [](TScreenContext &c) {
        TfrmMain &window = c.MainWindow();
        // The viewer's start page, where the program looks for it.
        const QDir folder(c.ProgramFolder());
        folder.mkpath(QStringLiteral("help"));
        QFile::copy(QStringLiteral(FERROW_SHIPPED_FOLDER "/welcome.html"),
                    folder.filePath(QStringLiteral("welcome.html")));
        QFile::copy(QStringLiteral(FERROW_SHIPPED_FOLDER "/../icons/ferrow-64.png"),
                    folder.filePath(QStringLiteral("help/ferrow.png")));
        const int height = window.TopPanelHeight();
        window.SetTopPanelHeight(300);
        window.Action(TCommand::ShowViewer)->trigger();
        window.Action(TCommand::ShowTransferManager)->trigger();
        TfrmTransferMngr &manager = *window.TransferManager();
        manager.resize(700, 150);
        c.WaitUntil([&window] { return !window.Viewer()->Busy(); });
        c.Settle();
        // Without a window manager the manager has no frame: the picture draws the style's.
        QStyleOptionTitleBar bar;
        bar.initFrom(&manager);
        bar.text = manager.windowTitle();
        bar.icon = window.windowIcon();
        bar.state |= QStyle::State_Active;
        bar.titleBarState = Qt::WindowActive;
        bar.titleBarFlags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint;
        bar.subControls =
            QStyle::SC_TitleBarLabel | QStyle::SC_TitleBarSysMenu | QStyle::SC_TitleBarCloseButton;
        const int barHeight = manager.style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, &manager);
        bar.rect = QRect(0, 0, manager.width(), barHeight);
        QPixmap picture = window.grab();
        QPainter painter(&picture);
        const QPoint at(picture.width() - manager.width() - 24,
                        picture.height() - manager.height() - barHeight - 24);
        painter.translate(at);
        manager.style()->drawComplexControl(QStyle::CC_TitleBar, &bar, &painter, &manager);
        painter.drawPixmap(0, barHeight, manager.grab());
        painter.setPen(window.palette().color(QPalette::Shadow));
        painter.drawRect(-1, -1, manager.width() + 1, manager.height() + barHeight + 1);
        painter.end();
        QLabel shown;
        shown.setPixmap(picture);
        shown.setFixedSize(picture.size() / picture.devicePixelRatio());
        c.Save(shown, QStringLiteral("main-window-manager-viewer"));
        window.Action(TCommand::ShowTransferManager)->trigger();
        window.Action(TCommand::ShowViewer)->trigger();
        window.SetTopPanelHeight(height);
    }};

static const TScreenScene MainWindowMenus{
    "main-window-menus", [](TScreenContext &c) {
        SaveMenu(c, QStringLiteral("&File"), QStringLiteral("main-window-menu-file"));
        SaveMenu(c, QStringLiteral("&Edit"), QStringLiteral("main-window-menu-edit"));
        SaveMenu(c, QStringLiteral("&Local"), QStringLiteral("main-window-menu-local"));
        SaveMenu(c, QStringLiteral("&Server"), QStringLiteral("main-window-menu-server"));
        SaveMenu(c, QStringLiteral("&Options"), QStringLiteral("main-window-menu-options"));
        SaveMenu(c, QStringLiteral("&Help"), QStringLiteral("main-window-menu-help"));
    }};

static const TScreenScene MainWindowLogPopup{
    "main-window-popup-log", [](TScreenContext &c) {
        TfrmMain &window = c.MainWindow();
        TMessageWindow &log = *window.MessageWindow();
        c.SavePopup(window, *log.PopupMenu(), log.mapTo(&window, QPoint(240, 24)),
                    QStringLiteral("main-window-popup-log"));
    }};
