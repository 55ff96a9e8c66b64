#include "tools/screens/Screens.h"

#include "app/AboutBox.h"
#include "app/InternalViewer.h"
#include "app/Main.h"
#include "app/MaskForm.h"
#include "views/FileList.h"
#include "views/HostView.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QUrl>

namespace {

// The shipped start page in the scenes' program folder, where the program looks for it.
void PlaceStartPage(TScreenContext &context)
{
    const QDir folder(context.ProgramFolder());
    folder.mkpath(QStringLiteral("help"));
    QFile::copy(QStringLiteral(FERROW_SHIPPED_FOLDER "/welcome.html"),
                folder.filePath(QStringLiteral("welcome.html")));
    QFile::copy(QStringLiteral(FERROW_SHIPPED_FOLDER "/../icons/ferrow-64.png"),
                folder.filePath(QStringLiteral("help/ferrow.png")));
}

} // namespace

static const TScreenScene ViewMask{"view-mask", [](TScreenContext &c) {
                                       TfrmMask form(true, QStringLiteral("*.txt;*.html"), &c.MainWindow());
                                       c.Save(form, QStringLiteral("view-mask"));
                                   }};

// The shared main window with room for the viewer; as it was afterwards.
class TViewerShown
{
public:
    explicit TViewerShown(TScreenContext &context)
        : FWindow(context.MainWindow())
        , FHeight(FWindow.TopPanelHeight())
    {
        PlaceStartPage(context);
        FWindow.SetTopPanelHeight(330);
        FWindow.SetViewerShown(true);
    }
    ~TViewerShown()
    {
        FWindow.SetViewerShown(false);
        FWindow.SetTopPanelHeight(FHeight);
    }

private:
    TfrmMain &FWindow;
    const int FHeight;
};

static const TScreenScene ViewWelcome{
    "view-viewer-welcome", [](TScreenContext &c) {
        const TViewerShown shown(c);
        TfrmMain &window = c.MainWindow();
        if (!c.WaitUntil(
                [&window] { return window.Viewer()->toPlainText().contains(QStringLiteral("Welcome")); }))
            c.Fail(QStringLiteral("the viewer did not show the welcome page"));
        c.Save(window, QStringLiteral("view-viewer-welcome"));
    }};

// A picture on the server, selected in the remote list, as the viewer shows it.
static const TScreenScene ViewPicture{
    "view-viewer-picture", [](TScreenContext &c) {
        const TViewerShown shown(c);
        TfrmMain &window = c.MainWindow();
        THostView &host = *window.ActiveHostView();
        host.ChangeFolder(QStringLiteral("/Web/"));
        QModelIndex picture;
        c.WaitUntil([&] {
            for (int row = 0; row < host.ItemCount() && !picture.isValid(); ++row) {
                if (host.GetItemName(host.ListView()->Item(row)) == QStringLiteral("logo.jpg"))
                    picture = host.ListView()->Item(row);
            }
            return picture.isValid();
        });
        if (!picture.isValid()) {
            c.Fail(QStringLiteral("the demo server has no Web/logo.jpg"));
            return;
        }
        host.ListView()->CurrentView()->setFocus();
        host.ListView()->SetCurrentItem(picture);
        host.ListView()->SelectRow(picture.row());
        if (!c.WaitUntil([&window] {
                return window.Viewer()->Location().path().endsWith(QStringLiteral("logo.jpg"))
                       && !window.Viewer()->Busy();
            }))
            c.Fail(QStringLiteral("the viewer did not fetch the picture"));
        c.Save(window, QStringLiteral("view-viewer-picture"));
        host.ListView()->ClearSelection();
        host.ChangeFolder(QStringLiteral("/"));
        c.WaitUntil([&host] { return !host.Animating() && host.GetFolder() == QStringLiteral("/"); });
    }};

static const TScreenScene ViewAbout{"view-about", [](TScreenContext &c) {
                                        const auto box = MakeAboutBox(&c.MainWindow());
                                        c.Save(*box, QStringLiteral("view-about"));
                                    }};
