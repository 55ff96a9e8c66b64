#pragma once

// Connecting with retries, logging in directly or through a firewall, finding out the
// server type and whether it can restart transfers, and logging out.

#include "engine/FTPCommands.h"

#include <string>

class TControlConnection;
class TWorkerNotifier;
class TWorkerHost;

class TLoginCommands
{
public:
    explicit TLoginCommands(TControlConnection &Connection);
    TLoginCommands(const TLoginCommands &) = delete;
    TLoginCommands &operator=(const TLoginCommands &) = delete;

    bool Run(const TLoginCommand &Command);
    bool Run(const TFirewallLoginCommand &Command);
    bool Run(const TLogoutCommand &Command);

private:
    // Connects to Host:Port and runs LogIn, with the retries the settings ask for, then
    // probes the server.
    template <typename LogInStep>
    bool Connect(const std::string &Host, int Port, LogInStep LogIn);
    bool LoginToHost(const std::string &User, const std::string &Password, const std::string &Account,
                     bool FirewallUserSent = false);
    // USER has been answered with ReplyClass: PASS and ACCT as the server asks.
    bool FinishLogin(int ReplyClass, const std::string &Password, const std::string &Account);
    bool LoginViaFirewall(const TFirewallLoginCommand &Command);
    void DetectServerType();
    // Whether the server restarts transfers, asked in binary mode.
    void ProbeRestart();
    void Fail();
    // Runs LogIn once the logon this one is ordered after has succeeded (failing the login
    // when that one failed or the wait was cancelled), then tells the result to the
    // logon ordered after this one.
    template <typename LogInStep>
    bool RunInOrder(const TLogonOrder &Order, LogInStep LogIn);

    TControlConnection &FConnection;
    TWorkerNotifier &FNotifier;
    TWorkerHost &FHost;
};
