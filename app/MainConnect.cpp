#include "app/Connecting.h"
#include "app/Main.h"
#include "app/ViewTabs.h"
#include "sites/Manager.h"
#include "sites/PasswordForm.h"
#include "views/HostView.h"
#include "views/LoclView.h"
#include "views/URLForm.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

namespace {

// The main window's steps in opening a connection.
class TMainConnectTarget : public TConnectTarget
{
public:
    explicit TMainConnectTarget(TfrmMain &window)
        : FWindow(window)
    {}

    bool ActiveRemoteConnected() const override
    {
        return FWindow.ActiveHostView() && FWindow.ActiveHostView()->Connected();
    }
    void OpenRemoteTab() override { FWindow.NewHostView(); }
    void SetRemoteCaption(const QString &caption) override { FWindow.SetHostCaption(caption); }
    std::optional<QString> AskPassword() override { return TdlgPassword::Ask(&FWindow); }
    void OpenLocalFolder(const QString &folder, bool activate) override
    {
        FWindow.OpenLocalFolder(folder, activate);
    }
    void ConnectActiveRemote(const TConnectRequest &r) override
    {
        FWindow.ActiveHostView()->Connect(r.Host, r.Port, r.UserName, r.Password, r.Account, r.Folder,
                                          r.FileMasks);
    }
    void AddLastConnection(const QString &siteName) override { FWindow.AddLastConnection(siteName); }

private:
    TfrmMain &FWindow;
};

bool SameFolder(const QString &a, const QString &b)
{
    return QDir::cleanPath(a).compare(QDir::cleanPath(b), Qt::CaseInsensitive) == 0;
}

} // namespace

TfrmManager *TfrmMain::SiteManager() const
{
    return FManager;
}

TfrmURL *TfrmMain::URLForm() const
{
    return FURLForm;
}

void TfrmMain::ConnectClick()
{
    if (FManager) {
        FManager->raise();
        FManager->activateWindow();
        return;
    }
    FManager = new TfrmManager(FSitesFileName, {Options().EMail(), Options().Text(oiDefaultDir)}, this);
    FManager->setAttribute(Qt::WA_DeleteOnClose);
    connect(FManager, &QDialog::finished, this, &TfrmMain::ManagerClosed);
    FManager->open();
}

void TfrmMain::ManagerClosed(int result)
{
    const TfrmManager *manager = FManager;
    if (!manager || result != QDialog::Accepted)
        return;
    if (const std::optional<QString> &eMail = manager->EMailToStore()) {
        Options().SetText(oiEMail, *eMail);
        Options().Save();
    }
    if (const std::optional<TConnectRequest> request =
            SiteConnectRequest(manager->SiteFromFields(), Options().EMail()))
        OpenConnection(*request);
}

void TfrmMain::LastConnectionClick(int slot)
{
    if (slot < 0 || slot >= TLastConnections::Count || FLastSites.Site(slot).isEmpty())
        return;
    // Read as the manager reads it, the file being as the user left it.
    TfrmManager manager(FSitesFileName, {Options().EMail(), Options().Text(oiDefaultDir)});
    manager.LoadSite(FLastSites.Site(slot));
    if (const std::optional<TConnectRequest> request =
            SiteConnectRequest(manager.SiteFromFields(), Options().EMail()))
        OpenConnection(*request);
}

void TfrmMain::ConnectURLClick()
{
    if (FURLForm) {
        FURLForm->raise();
        FURLForm->activateWindow();
        return;
    }
    FURLForm = new TfrmURL(Options().URLs(), Options().EMail(), true, this);
    FURLForm->setAttribute(Qt::WA_DeleteOnClose);
    connect(FURLForm, &QDialog::finished, this, &TfrmMain::URLFormClosed);
    FURLForm->open();
}

void TfrmMain::URLFormClosed(int result)
{
    const TfrmURL *form = FURLForm;
    if (!form || result != QDialog::Accepted)
        return;
    if (form->IsHttp()) {
        OpenHttpUrl(form->URL());
        return;
    }
    Options().SetURLs(URLHistoryWith(Options().URLs(), form->URL()));
    OpenConnection(URLConnectRequest(form->Parts(), form->Account));
}

void TfrmMain::OpenHttpUrl(const QString &url)
{
    // A web page is shown, never connected to as FTP.
    ShowInViewer(QUrl::fromUserInput(url));
}

void TfrmMain::OpenConnection(const TConnectRequest &request)
{
    TMainConnectTarget target(*this);
    ::OpenConnection(target, request, Options().Bool(oiPromptForPass));
}

bool TfrmMain::OpenLocalFolder(const QString &path, bool activate)
{
    const QFileInfo folder(path);
    if (!folder.isDir())
        return false;
    const QString wanted = folder.absoluteFilePath();
    if (activate && ActiveLocalView() && SameFolder(ActiveLocalView()->GetFolder(), wanted)) {
        ActiveLocalView()->Refresh();
        return true;
    }
    QTabWidget *tabs = LocalTabs();
    const int before = tabs->currentIndex();
    for (int i = 0; i < tabs->count(); ++i) {
        const auto *view = qobject_cast<TLocalView *>(tabs->widget(i));
        if (view && SameFolder(view->GetFolder(), wanted)) {
            if (activate)
                tabs->setCurrentIndex(i);
            return true;
        }
    }
    NewLocalView()->ChangeFolder(wanted);
    if (!activate)
        tabs->setCurrentIndex(before);
    return true;
}
