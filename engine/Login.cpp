// Connecting with retries, logging in directly or through a firewall, finding out the
// server type and whether it can restart transfers, and logging out.

#include "engine/FTPThread.h"

#include "engine/ProtocolText.h"
#include "engine/ServerTypes.h"

#include <thread>

namespace {

// Sets a flag for the lifetime of a scope, so an exception cannot leave it set.
class TFlagScope
{
public:
    explicit TFlagScope(bool &Flag) : FFlag(Flag) { FFlag = true; }
    ~TFlagScope() { FFlag = false; }
    TFlagScope(const TFlagScope &) = delete;
    TFlagScope &operator=(const TFlagScope &) = delete;

private:
    bool &FFlag;
};

// Collects every reply line read while it lives.
class TCaptureScope
{
public:
    explicit TCaptureScope(std::vector<std::string> *&Capture) : FCapture(Capture) { FCapture = &FLines; }
    ~TCaptureScope() { FCapture = nullptr; }
    TCaptureScope(const TCaptureScope &) = delete;
    TCaptureScope &operator=(const TCaptureScope &) = delete;

    const std::vector<std::string> &Lines() const { return FLines; }

private:
    std::vector<std::string> *&FCapture;
    std::vector<std::string> FLines;
};

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

bool TFTPThread::DoLogin(const TParams &Params, bool ViaFirewall)
{
    const auto param = [&Params](std::size_t i) {
        return i < Params.size() ? Params[i] : std::string();
    };

    // Without a user name no USER is sent and the server would never answer.
    if (!ViaFirewall && param(2).empty()) {
        Log("Unable to log in without a user name", clLogError);
        NotifyDisconnect();
        NotifyCantLogIn();
        return false;
    }

    int attempt = 1;
    bool success = false;
    bool final = false;
    for (;;) {
        FReplyBuffer.Clear();
        Log("Attempting to connect to " + param(0) + ", attempt " + std::to_string(attempt) + "\r\n", clLogInfo);
        const bool connected = OpenControlConnection(param(0), param(1));
        final = !connected && (FLastError == WSAHOST_NOT_FOUND || FLastError == WSANO_RECOVERY);
        FLastError = 0;
        if (!final) {
            try {
                if (ViaFirewall)
                    success = LoginViaFirewall(int(TextToInt(param(2), 0)), param(3), param(4), param(5), param(6),
                                               param(7), param(8), param(9));
                else
                    success = LoginToHost(param(2), param(3), param(4));
            } catch (const EControlSocketException &e) {
                if (*e.what() != '\0')
                    Log(e.what(), clLogError);
                success = false;
            }
        }
        ++attempt;
        const int retryCount = TFTPComponent::RetryCount;
        const bool moreAttempts = retryCount == 0 || attempt <= retryCount;
        if (!success && !final && moreAttempts) {
            const int delay = std::max(0, TFTPComponent::RetryDelaySeconds.load());
            Log(std::to_string(delay) + " seconds delay before retrying...", clLogInfo);
            WakeOwner();
            for (int step = 0; step < delay * 4 + 1; ++step) {
                if (CheckAbort())
                    break;
                std::this_thread::sleep_for(std::chrono::milliseconds(250));
            }
        }
        if (success || final || Cancelled() || !moreAttempts)
            break;
    }

    if (success && !FAborted) {
        if (FOwner.ServerType() == stAutomaticDetect)
            DetectServerType();
        Log(std::string("\r\nServer Type: ") + ServerTypeName(FOwner.ServerType()), clLogInfo);
        {
            // Probed in binary mode: some servers refuse restarts in ASCII mode, which
            // is where a new connection starts. The type is known from here on.
            const TFlagScope quiet(FQuiet);
            SendCommand("TYPE I");
            FCurrentType = GetReply() == 2 ? int(ttBinary) : UnknownType;
            SendCommand("REST 100");
            FOwner.SetCanResume(GetReply() == 3);
            SendCommand("REST 0");
            GetReply();
        }
        Log(FOwner.CanResume() ? "\r\nServer can resume broken downloads\r\n"
                               : "\r\nServer unable to resume broken downloads\r\n",
            clLogInfo);
        NotifyLoggedIn();
        return true;
    }
    NotifyDisconnect();
    NotifyCantLogIn();
    return false;
}

bool TFTPThread::LoginToHost(const std::string &User, const std::string &Password, const std::string &Account,
                             bool FirewallUserSent)
{
    TraceHost("Logging in...");
    int replyClass = 0;
    bool loginReply = false;
    {
        const TCaptureScope welcome(FCapture);
        replyClass = GetReply();
        // Behind a firewall the USER is already out; a firewall that answers it at once,
        // without relaying the host's welcome, has given the login's own reply.
        loginReply = FirewallUserSent && replyClass == 3;
        if (replyClass != 2 && !loginReply)
            throw EControlSocketException("Failed to Connect");
        for (const std::string &line : welcome.Lines()) {
            if (loginReply || FOwner.ServerType() != stAutomaticDetect)
                break;
            if (const int type = MatchWelcomeLine(line))
                FOwner.SetServerType(type);
        }
    }
    NotifyConnect();
    if (loginReply)
        return FinishLogin(replyClass, Password, Account);

    if (!User.empty())
        SendCommand("USER " + User);
    return FinishLogin(GetReply(), Password, Account);
}

bool TFTPThread::FinishLogin(int ReplyClass, const std::string &Password, const std::string &Account)
{
    int replyClass = ReplyClass;
    if (replyClass == 3 && FReplyCode == 332) {
        SendCommand("ACCT " + Account);
        replyClass = GetReply();
    }
    if (replyClass == 3 && FReplyCode == 331) {
        {
            const TFlagScope quiet(FQuiet);
            SendCommand("PASS " + Password);
        }
        Log("PASS xxxxx", clLogCommand);
        replyClass = GetReply();
    }
    if (replyClass == 3 && FReplyCode == 332) {
        SendCommand("ACCT " + Account);
        replyClass = GetReply();
    }
    if (replyClass != 2)
        throw EControlSocketException("Failed to Log in to Host");
    return true;
}

bool TFTPThread::LoginViaFirewall(int FirewallType, const std::string &FirewallUser,
                                  const std::string &FirewallPassword, const std::string &Host,
                                  const std::string &PortText, const std::string &User, const std::string &Password,
                                  const std::string &Account)
{
    TraceHost("Logging in to Firewall...");
    if (GetReply() != 2)
        throw EControlSocketException("Failed to Connect");

    const TFirewallKind &kind = FirewallKinds[FirewallType >= 0 && FirewallType <= 3 ? FirewallType : 0];
    const std::string hostText = FirewallHostText(Host, PortText);
    if (kind.LogInFirst) {
        SendCommand("USER " + FirewallUser);
        int replyClass = GetReply();
        if (replyClass == 3) {
            // The firewall's password stays out of the owner's log like the host's.
            {
                const TFlagScope quiet(FQuiet);
                SendCommand("PASS " + FirewallPassword);
            }
            Log("PASS xxxxx", clLogCommand);
            replyClass = GetReply();
        }
        if (replyClass != 2)
            throw EControlSocketException("Failed to Log in to Firewall");
    }
    if (kind.OpenCommand) {
        SendCommand(kind.OpenCommand + hostText);
        if (GetReply() != 2)
            throw EControlSocketException("Failed to Log in to Firewall");
    }
    SendCommand(kind.OpenCommand ? "USER " + User : "USER " + User + '@' + hostText);
    return LoginToHost(std::string(), Password, Account, true);
}

void TFTPThread::DetectServerType()
{
    {
        const TCaptureScope syst(FCapture);
        SendCommand("SYST");
        if (GetReply() == 2) {
            for (const std::string &line : syst.Lines()) {
                if (FOwner.ServerType() != stAutomaticDetect)
                    break;
                if (const int type = MatchSystLine(line))
                    FOwner.SetServerType(type);
            }
        }
    }
    if (FOwner.ServerType() == stAutomaticDetect) {
        const TCaptureScope help(FCapture);
        const TFlagScope quiet(FQuiet);
        SendCommand("HELP");
        if (GetReply() == 2) {
            for (const std::string &line : help.Lines()) {
                if (FOwner.ServerType() != stAutomaticDetect)
                    break;
                if (const int type = MatchHelpLine(line))
                    FOwner.SetServerType(type);
            }
        }
    }
    if (FOwner.ServerType() == stAutomaticDetect)
        FOwner.SetServerType(stUnixStandard);
}

bool TFTPThread::DoLogout()
{
    SendCommand("QUIT");
    const bool success = GetReply() == 2;
    NotifyDisconnect();
    return success;
}
