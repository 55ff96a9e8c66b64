#include "tools/screens/Screens.h"

#include "app/Main.h"
#include "sites/Manager.h"
#include "sites/PasswordForm.h"
#include "sites/SiteStore.h"
#include "views/URLForm.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTabWidget>

namespace {

const TManagerSettings ScreenSettings{QStringLiteral("guest@example.com"), QDir::homePath()};

// The demo server and two more sites, the demo server saved last.
void StoreSites(TScreenContext &c)
{
    TSiteStore store(TSiteStore::DefaultFileName());
    TSite mirror;
    mirror.Name = QStringLiteral("Debian mirror");
    mirror.Host = QStringLiteral("ftp.debian.org");
    mirror.Anonymous = true;
    mirror.HostFolder = QStringLiteral("/debian/");
    store.SaveSite(mirror);
    TSite office;
    office.Name = QStringLiteral("Office NAS");
    office.Host = QStringLiteral("192.168.1.20");
    office.UserName = QStringLiteral("backup");
    office.Password = QStringLiteral("secret");
    store.SaveSite(office);
    TSite demo;
    demo.Name = QStringLiteral("Demo server");
    demo.Host = c.Host();
    demo.Port = c.Port();
    demo.UserName = c.User();
    demo.Password = c.Password();
    demo.HostFolder = QStringLiteral("/");
    demo.LocalFolders[0] = QDir::homePath();
    demo.LocalFolders[1] = QDir::tempPath();
    demo.Notes = QStringList{QStringLiteral("The sample tree of make demo.")};
    store.SaveSite(demo);
}

} // namespace

static const TScreenScene ConnectManagerAdditional{"connect-manager-additional", [](TScreenContext &c) {
    StoreSites(c);
    TfrmManager manager(TSiteStore::DefaultFileName(), ScreenSettings, &c.MainWindow());
    manager.show();
    manager.pgctrlMain->setCurrentWidget(manager.tbshtAdditional);
    c.Save(manager, QStringLiteral("connect-manager-additional"));
}};

static const TScreenScene ConnectManagerGeneral{"connect-manager-general", [](TScreenContext &c) {
    StoreSites(c);
    TfrmManager manager(TSiteStore::DefaultFileName(), ScreenSettings, &c.MainWindow());
    manager.show();
    manager.cmboSite->showPopup();
    c.Settle();
    manager.cmboSite->hidePopup();
    c.Save(manager, QStringLiteral("connect-manager-general"));
}};

static const TScreenScene ConnectManagerPreset{"connect-manager-preset", [](TScreenContext &c) {
    StoreSites(c);
    TPresetSite preset;
    preset.Name = QStringLiteral("Ferrow demo");
    preset.Host = c.Host();
    preset.UserName = c.User();
    preset.Password = c.Password();
    TSiteStore::SavePresetSite(TSiteStore::PresetFileName(), preset);
    QFile::copy(QStringLiteral(":/icons/ferrow-64.png"), TSiteStore::PresetLogoFileName());
    {
        TfrmManager manager(TSiteStore::DefaultFileName(), ScreenSettings, &c.MainWindow());
        c.Save(manager, QStringLiteral("connect-manager-preset"));
    }
    // The other scenes have no preset.
    QFile::remove(TSiteStore::PresetFileName());
    QFile::remove(TSiteStore::PresetLogoFileName());
}};

static const TScreenScene ConnectPasswordPrompt{"connect-password-prompt", [](TScreenContext &c) {
    TdlgPassword prompt(&c.MainWindow());
    c.Save(prompt, QStringLiteral("connect-password-prompt"));
}};

static const TScreenScene ConnectURLDialog{"connect-url-dialog", [](TScreenContext &c) {
    const QString url = QStringLiteral("ftp://%1:%2@%3:%4/pub/readme.txt")
                            .arg(c.User(), c.Password(), c.Host())
                            .arg(c.Port());
    TfrmURL form({url, QStringLiteral("ftp://ftp.debian.org/debian/")}, QStringLiteral("guest@example.com"), false,
                 &c.MainWindow());
    form.show();
    form.cmboURL->setEditText(url);
    c.Save(form, QStringLiteral("connect-url-dialog"));
}};
