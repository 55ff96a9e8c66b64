#include "tools/screens/Screens.h"

#include "app/Main.h"
#include "transfers/Confirm.h"
#include "views/FileList.h"
#include "views/FileProp.h"
#include "views/HostView.h"

namespace {

// Selects the demo server's root entries with these captions in the main window's
// remote view; false when one is missing.
bool SelectRemote(TScreenContext &c, const QStringList &captions)
{
    THostView *view = c.MainWindow().ActiveHostView();
    std::vector<int> rows;
    for (int row = 0; row < view->ItemCount(); ++row) {
        if (captions.contains(view->GetItemName(view->ListView()->Item(row))))
            rows.push_back(row);
    }
    view->ListView()->ClearSelection();
    view->ListView()->SelectRows(rows);
    if (int(rows.size()) == captions.size())
        return true;
    c.Fail(QStringLiteral("the demo server's root lacks one of: ") + captions.join(QStringLiteral(", ")));
    return false;
}

void SaveProperties(TScreenContext &c, const QStringList &captions, const QString &name)
{
    if (!SelectRemote(c, captions))
        return;
    TfrmProperties window(&c.MainWindow());
    c.MainWindow().ActiveHostView()->DescribeSelection(window);
    c.Save(window, name);
}

} // namespace

static const TScreenScene RemotePropertiesOne{
    "remote-properties-one-file", [](TScreenContext &c) {
        SaveProperties(c, {QStringLiteral("medium.bin")}, QStringLiteral("remote-properties-one-file"));
    }};

static const TScreenScene RemotePropertiesMixed{
    "remote-properties-mixed", [](TScreenContext &c) {
        SaveProperties(c,
                       {QStringLiteral("readme.txt"), QStringLiteral("large.bin"), QStringLiteral("Nested")},
                       QStringLiteral("remote-properties-mixed"));
    }};

static const TScreenScene RemoteDeleteQuestion{"remote-delete-question", [](TScreenContext &c) {
                                                   TfrmConfirm window(&c.MainWindow());
                                                   window.ItemCount = 1;
                                                   window.ItemName = QStringLiteral("Nested");
                                                   window.ItemIsFolder = true;
                                                   c.Save(window, QStringLiteral("remote-delete-question"));
                                               }};
