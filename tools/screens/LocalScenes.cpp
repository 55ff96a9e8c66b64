#include "tools/screens/Screens.h"

#include "app/LocalPopup.h"
#include "app/Main.h"
#include "views/FileList.h"
#include "views/LoclView.h"

namespace {

// Selects the sample files with these names in the main window's local view; false
// when one is missing.
bool SelectLocal(TScreenContext &c, const QStringList &names)
{
    TLocalView *view = c.MainWindow().ActiveLocalView();
    view->ListView()->ClearSelection();
    for (const QString &name : names) {
        const QModelIndex item = view->Model()->IndexOf(name);
        if (!item.isValid()) {
            c.Fail(QStringLiteral("the local samples lack ") + name);
            return false;
        }
        view->ListView()->SelectRow(item.row());
        view->ListView()->SetCurrentItem(item);
    }
    return true;
}

} // namespace

static const TScreenScene LocalPopupScene{"local-popup", [](TScreenContext &c) {
    TfrmMain &window = c.MainWindow();
    if (!SelectLocal(c, {QStringLiteral("notes.txt")}))
        return;
    // Something to paste, so the picture shows the entry as a user mostly meets it.
    window.ActiveLocalView()->CopySelection();
    const QWidget *list = window.ActiveLocalView()->ListView();
    c.SavePopup(window, window.LocalPopup(), list->mapTo(&window, QPoint(130, 162)), QStringLiteral("local-popup"));
}};

static const TScreenScene LocalPropertiesScene{"local-properties", [](TScreenContext &c) {
    TLocalView *view = c.MainWindow().ActiveLocalView();
    if (!SelectLocal(c, {QStringLiteral("budget 2026.csv")}))
        return;
    view->ShowProperties();
    if (TfrmLocalProperties *window = view->PropertiesWindow()) {
        c.Save(*window, QStringLiteral("local-properties"));
        window->reject();
    } else {
        c.Fail(QStringLiteral("the local properties window did not open"));
    }
}};
