#include "transfers/TransferSettings.h"

#include "engine/FTPComp.h"

#include <charconv>

int FirewallPortNumber(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    int port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    return (error == std::errc() && end == text.data() + text.size()) ? port : 21;
}

void QueueLogon(TFTPComponent &engine, const TTransferSettings &settings)
{
    if (!settings.FirewallEnabled) {
        engine.Login();
        return;
    }
    engine.SetFirewallType(settings.FirewallType);
    engine.SetFirewallHost(settings.FirewallHost);
    engine.SetFirewallPort(FirewallPortNumber(settings.FirewallPort));
    engine.SetFirewallUser(settings.FirewallUser);
    engine.SetFirewallPassword(settings.FirewallPassword);
    engine.FirewallLogin();
}
