#include "tools/screens/Screens.h"

#include "app/CompareForm.h"
#include "app/Main.h"
#include "app/OptionsForm.h"
#include "views/FileList.h"
#include "views/HostView.h"
#include "views/LoclView.h"

#include <QTabWidget>

namespace {

// Options worth showing: the firewall and the sounds switched on, with values.
TOptions ShownOptions(TScreenContext &c)
{
    TOptions options = c.MainWindow().Options();
    options.SetText(oiEMail, QStringLiteral("me@example.org"));
    options.SetBool(oiFirewallEnabled, true);
    options.SetChoice(oiFirewallType, 1);
    options.SetText(oiFirewallHost, QStringLiteral("proxy.example.org"));
    options.SetText(oiFirewallUser, QStringLiteral("me"));
    options.SetText(oiFirewallPassword, QStringLiteral("secret"));
    options.SetBool(oiSoundsEnabled, true);
    options.SetText(oiConnectSuccessSound, QStringLiteral("/usr/share/sounds/ferrow/connected.wav"));
    options.SetText(oiEndOfTotalSound, QStringLiteral("/usr/share/sounds/ferrow/all-done.wav"));
    return options;
}

void SavePage(TScreenContext &c, int page, const char *name)
{
    TOptions options = ShownOptions(c);
    TfrmOptions form(options, &c.MainWindow());
    form.Pages()->setCurrentIndex(page);
    c.Save(form, QString::fromLatin1(name));
}

} // namespace

static const TScreenScene OptionsGeneral{"options-1-general",
                                         [](TScreenContext &c) { SavePage(c, 0, "options-1-general"); }};
static const TScreenScene OptionsAdvanced{"options-2-advanced",
                                          [](TScreenContext &c) { SavePage(c, 1, "options-2-advanced"); }};
static const TScreenScene OptionsConnection{
    "options-3-connection", [](TScreenContext &c) { SavePage(c, 2, "options-3-connection"); }};
static const TScreenScene OptionsFirewall{"options-4-firewall",
                                          [](TScreenContext &c) { SavePage(c, 3, "options-4-firewall"); }};
static const TScreenScene OptionsSounds{"options-5-sounds",
                                        [](TScreenContext &c) { SavePage(c, 4, "options-5-sounds"); }};
static const TScreenScene OptionsFileTypes{"options-6-file-types",
                                           [](TScreenContext &c) { SavePage(c, 5, "options-6-file-types"); }};

static const TScreenScene CompareOptions{"compare-options", [](TScreenContext &c) {
                                             TfrmCompareOptions form(&c.MainWindow());
                                             c.Save(form, QStringLiteral("compare-options"));
                                         }};
