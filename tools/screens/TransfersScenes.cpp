#include "tools/screens/Screens.h"

#include "app/Main.h"
#include "transfers/TranMan.h"
#include "transfers/TransferProgress.h"

#include <QDir>

namespace {

// The demo server's "Many files" hold "File number N.\n".
std::int64_t ManyFileSize(int n)
{
    return std::int64_t(QStringLiteral("File number %1.\n").arg(n).size());
}

} // namespace

// Both windows during a real run from the demo server, held while one file ends: the
// progress window with and without its log, and the manager with rows in every state.
static const TScreenScene TransfersWindows{
    "transfers-windows", [](TScreenContext &c) {
        TfrmMain &main = c.MainWindow();
        TTransferItems &queue = c.Queue();
        TfrmTransfer &progress = *main.ProgressWindow();
        TfrmTransferMngr &manager = *main.TransferManager();
        const QString downloads = c.ProgramFolder() + QStringLiteral("/downloads/");
        QDir().mkpath(downloads);
        const auto add = [&](const std::string &folder, const std::string &name, std::int64_t size) {
            auto item = std::make_unique<TTransferItem>();
            item->Host = c.Host().toStdString();
            item->Port = c.Port();
            item->UserName = c.User().toStdString();
            item->Password = c.Password().toStdString();
            item->SourceFolder = folder;
            item->DestFolder = downloads.toStdString();
            item->Name = name;
            item->Size = size;
            queue.Add(item);
        };
        const auto many = [&](int first, int last) {
            for (int n = first; n <= last; ++n)
                add("/Many files/",
                    QStringLiteral("file %1.txt").arg(n, 4, 10, QLatin1Char('0')).toStdString(),
                    ManyFileSize(n));
        };
        many(1, 146);
        add("/", "missing.txt", 100); // fails: the server has no such file
        many(147, 149);
        add("/", "large.bin", 4 * 1024 * 1024);
        many(150, 400);

        bool shot = false;
        TScopedConnection hold = queue.OnItemFinished.Connect([&](TTransferItems &, TTransferItem &item) {
            if (shot || item.Name != "large.bin")
                return;
            shot = true;
            TTransferListModel &rows = manager.Model();
            rows.AddPendingRows();
            const int row = rows.RowOf(&item);
            for (int cancelled : {row + 2, row + 4}) {
                manager.PreparePopup(cancelled);
                manager.CancelMenuItem()->trigger();
            }
            progress.UpdateDisplay(item);
            c.Save(progress, QStringLiteral("transfers-progress"));
            progress.ToggleDetailsClick();
            c.Save(progress, QStringLiteral("transfers-progress-details"));
            progress.ToggleDetailsClick();
            manager.show();
            manager.List()->scrollTo(rows.index(row, 0), QAbstractItemView::PositionAtCenter);
            manager.List()->selectRow(row);
            c.Save(manager, QStringLiteral("transfers-manager"));
        });
        if (!c.WaitUntil([&] { return shot; }, std::chrono::seconds(60)))
            c.Fail(QStringLiteral("the run never reached large.bin"));
        hold.Disconnect();
        progress.CancelClick();
        c.WaitUntil([&] { return queue.IsIdle(); });
        manager.hide();
        progress.hide();
    }};
