#include "engine/LoginCommands.h"

#include "engine/ControlConnection.h"
#include "engine/FTPComp.h"
#include "engine/ProtocolText.h"
#include "engine/ServerTypes.h"
#include "engine/WorkerHost.h"
#include "engine/WorkerNotifier.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

struct TFirewallKind
{
    bool LogInFirst;
    const char *OpenCommand; // nullptr: the host goes into the USER command
};

constexpr TFirewallKind FirewallKinds[4] = {
    {true, "SITE "},
    {false, "OPEN "},
    {true, nullptr},
    {false, nullptr},
};

} // namespace

TLoginCommands::TLoginCommands(TControlConnection &Connection)
    : FConnection(Connection)
    , FNotifier(Connection.Notifier())
    , FHost(Connection.Notifier().Host())
{}

bool TLoginCommands::Run(const TLoginCommand &Command)
{
    return RunInOrder(Command.Order, [&] {
        // Without a user name no USER is sent and the server would never answer.
        if (Command.User.empty()) {
            FNotifier.Log("Unable to log in without a user name", clLogError);
            Fail();
            return false;
        }
        return Connect(Command.Host, Command.Port,
                       [&] { return LoginToHost(Command.User, Command.Password, Command.Account); });
    });
}

bool TLoginCommands::Run(const TFirewallLoginCommand &Command)
{
    return RunInOrder(Command.Order, [&] {
        return Connect(Command.FirewallHost, Command.FirewallPort, [&] { return LoginViaFirewall(Command); });
    });
}

template <typename LogInStep>
bool TLoginCommands::RunInOrder(const TLogonOrder &Order, LogInStep LogIn)
{
    bool success = false;
    if (!Order.After || Order.After->Wait([this] { return FConnection.Cancelled(); })) {
        success = LogIn();
    } else {
        FNotifier.Log("Not logging on: the connection this one waited for could not log on", clLogInfo);
        Fail();
    }
    if (Order.Promise)
        Order.Promise->Decide(success);
    return success;
}

void TLoginCommands::Fail()
{
    FConnection.Disconnect();
    FNotifier.NotifyCantLogIn();
}

template <typename LogInStep>
bool TLoginCommands::Connect(const std::string &Host, int Port, LogInStep LogIn)
{
    int attempt = 1;
    bool success = false;
    bool final = false;
    for (;;) {
        FNotifier.Log("Attempting to connect to " + Host + ", attempt " + std::to_string(attempt) + "\r\n",
                      clLogInfo);
        const bool connected = FConnection.Open(Host, Port);
        final =
            !connected
            && (FConnection.LastError() == WSAHOST_NOT_FOUND || FConnection.LastError() == WSANO_RECOVERY);
        FConnection.SetLastError(0);
        if (!final) {
            try {
                success = LogIn();
            } catch (const EControlSocketException &e) {
                if (*e.what() != '\0')
                    FNotifier.Log(e.what(), clLogError);
                success = false;
            }
        }
        ++attempt;
        const int retryCount = TFTPComponent::RetryCount;
        const bool moreAttempts = retryCount == 0 || attempt <= retryCount;
        if (!success && !final && moreAttempts) {
            const int delay = std::max(0, TFTPComponent::RetryDelaySeconds.load());
            FNotifier.Log(std::to_string(delay) + " seconds delay before retrying...", clLogInfo);
            FNotifier.WakeOwner();
            for (int step = 0; step < delay * 4 + 1; ++step) {
                if (FConnection.CheckAbort())
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
            }
        }
        if (success || final || FConnection.Cancelled() || !moreAttempts)
            break;
    }

    if (success && !FConnection.Aborted()) {
        if (FHost.ServerType() == stAutomaticDetect)
            DetectServerType();
        FNotifier.Log(std::string("\r\nServer Type: ") + ServerTypeName(FHost.ServerType()), clLogInfo);
        ProbeRestart();
        FNotifier.Log(FHost.CanResume() ? "\r\nServer can resume broken downloads\r\n"
                                        : "\r\nServer unable to resume broken downloads\r\n",
                      clLogInfo);
        FNotifier.NotifyLoggedIn();
        return true;
    }
    Fail();
    return false;
}

void TLoginCommands::ProbeRestart()
{
    // Probed in binary mode: some servers refuse restarts in ASCII mode, which is where
    // a new connection starts. The type is known from here on.
    const TQuietScope quiet(FNotifier);
    FConnection.SendCommand("TYPE I");
    FConnection.SetCurrentType(FConnection.GetReply() == 2 ? int(ttBinary) : TControlConnection::UnknownType);
    FConnection.SendCommand("REST 100");
    FHost.SetCanResume(FConnection.GetReply() == 3);
    FConnection.SendCommand("REST 0");
    FConnection.GetReply();
}

bool TLoginCommands::LoginToHost(const std::string &User, const std::string &Password,
                                 const std::string &Account, bool FirewallUserSent)
{
    FNotifier.TraceHost("Logging in...");
    int replyClass = 0;
    bool loginReply = false;
    {
        const TReplyCapture welcome(FConnection);
        replyClass = FConnection.GetReply();
        // Behind a firewall the USER is already out; a firewall that answers it at once,
        // without relaying the host's welcome, has given the login's own reply.
        loginReply = FirewallUserSent && replyClass == 3;
        if (replyClass != 2 && !loginReply)
            throw EControlSocketException("Failed to Connect");
        for (const std::string &line : welcome.Lines()) {
            if (loginReply || FHost.ServerType() != stAutomaticDetect)
                break;
            if (const int type = MatchWelcomeLine(line))
                FHost.SetServerType(type);
        }
    }
    FNotifier.NotifyConnect();
    if (loginReply)
        return FinishLogin(replyClass, Password, Account);

    if (!User.empty())
        FConnection.SendCommand("USER " + User);
    return FinishLogin(FConnection.GetReply(), Password, Account);
}

bool TLoginCommands::FinishLogin(int ReplyClass, const std::string &Password, const std::string &Account)
{
    int replyClass = ReplyClass;
    if (replyClass == 3 && FConnection.ReplyCode() == 332) {
        FConnection.SendCommand("ACCT " + Account);
        replyClass = FConnection.GetReply();
    }
    if (replyClass == 3 && FConnection.ReplyCode() == 331) {
        {
            const TQuietScope quiet(FNotifier);
            FConnection.SendCommand("PASS " + Password);
        }
        FNotifier.Log("PASS xxxxx", clLogCommand);
        replyClass = FConnection.GetReply();
    }
    if (replyClass == 3 && FConnection.ReplyCode() == 332) {
        FConnection.SendCommand("ACCT " + Account);
        replyClass = FConnection.GetReply();
    }
    if (replyClass != 2)
        throw EControlSocketException("Failed to Log in to Host");
    return true;
}

bool TLoginCommands::LoginViaFirewall(const TFirewallLoginCommand &Command)
{
    FNotifier.TraceHost("Logging in to Firewall...");
    if (FConnection.GetReply() != 2)
        throw EControlSocketException("Failed to Connect");

    const int type = Command.FirewallType;
    const TFirewallKind &kind = FirewallKinds[type >= 0 && type <= 3 ? type : 0];
    const std::string hostText = FirewallHostText(Command.Host, Command.Port);
    if (kind.LogInFirst) {
        FConnection.SendCommand("USER " + Command.FirewallUser);
        int replyClass = FConnection.GetReply();
        if (replyClass == 3) {
            // The firewall's password stays out of the owner's log like the host's.
            {
                const TQuietScope quiet(FNotifier);
                FConnection.SendCommand("PASS " + Command.FirewallPassword);
            }
            FNotifier.Log("PASS xxxxx", clLogCommand);
            replyClass = FConnection.GetReply();
        }
        if (replyClass != 2)
            throw EControlSocketException("Failed to Log in to Firewall");
    }
    if (kind.OpenCommand) {
        FConnection.SendCommand(kind.OpenCommand + hostText);
        if (FConnection.GetReply() != 2)
            throw EControlSocketException("Failed to Log in to Firewall");
    }
    FConnection.SendCommand(kind.OpenCommand ? "USER " + Command.User
                                             : "USER " + Command.User + '@' + hostText);
    return LoginToHost(std::string(), Command.Password, Command.Account, true);
}

void TLoginCommands::DetectServerType()
{
    {
        const TReplyCapture syst(FConnection);
        FConnection.SendCommand("SYST");
        if (FConnection.GetReply() == 2) {
            for (const std::string &line : syst.Lines()) {
                if (FHost.ServerType() != stAutomaticDetect)
                    break;
                if (const int type = MatchSystLine(line))
                    FHost.SetServerType(type);
            }
        }
    }
    if (FHost.ServerType() == stAutomaticDetect) {
        const TReplyCapture help(FConnection);
        const TQuietScope quiet(FNotifier);
        FConnection.SendCommand("HELP");
        if (FConnection.GetReply() == 2) {
            for (const std::string &line : help.Lines()) {
                if (FHost.ServerType() != stAutomaticDetect)
                    break;
                if (const int type = MatchHelpLine(line))
                    FHost.SetServerType(type);
            }
        }
    }
    if (FHost.ServerType() == stAutomaticDetect)
        FHost.SetServerType(stUnixStandard);
}

bool TLoginCommands::Run(const TLogoutCommand &)
{
    FConnection.SendCommand("QUIT");
    const bool success = FConnection.GetReply() == 2;
    FConnection.Disconnect();
    return success;
}
