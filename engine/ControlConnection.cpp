#include "engine/ControlConnection.h"

#include "engine/FTPComp.h"
#include "engine/ProtocolText.h"
#include "engine/WorkerNotifier.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int WaitSliceMS = 100;
constexpr int PromptWaitMS = 2;
// What each clean-up step after a time-out (ABOR, the transfer's final reply, QUIT)
// waits at most, and at most a quarter of the time-out: a server that froze must not
// hold the user for a whole time-out per step.
constexpr std::chrono::milliseconds CleanUpWait{2000};

} // namespace

void TControlConnection::BeginCommand(bool CleanUp)
{
    FAborted = false;
    FLastError = 0;
    if (!CleanUp)
        FTimedOutBefore = false;
}

void TControlConnection::EndCommand()
{
    FNotifier.SetQuiet(false);
    FCapture = nullptr;
    FBlocking = false;
}

bool TControlConnection::TextTransfer() const
{
    return FCurrentType == ttASCII;
}

bool TControlConnection::ExactTransfer() const
{
    return FCurrentType != UnknownType && TransferTypeLetter(FCurrentType) == 'I';
}

void TControlConnection::StartBlocking()
{
    FBlocking = true;
    FBlockingStart = std::chrono::steady_clock::now();
}

void TControlConnection::StopBlocking()
{
    FBlocking = false;
}

bool TControlConnection::TimedOut() const
{
    const std::chrono::milliseconds full(TFTPComponent::TimeoutMS.load());
    const std::chrono::milliseconds limit = FTimedOutBefore ? std::min(full / 4, CleanUpWait) : full;
    return FBlocking && std::chrono::steady_clock::now() - FBlockingStart > limit;
}

bool TControlConnection::CheckAbort()
{
    const bool aborted = Cancelled();
    if (aborted)
        FLastError = WSAEINTR;
    else if (TimedOut())
        FLastError = WSAETIMEDOUT;
    return aborted;
}

bool TControlConnection::WaitSocket(int Fd, short Events)
{
    if (Fd < 0) {
        FLastError = WSAENOTSOCK;
        return false;
    }
    for (;;) {
        // A cancelled wait looks like an interrupted call; the time-out cancels it too.
        if (Cancelled() || TimedOut()) {
            if (!Cancelled())
                FTimedOutBefore = true;
            FAborted = true;
            FLastError = WSAEINTR;
            Trace("BlockingHook Aborted");
            return false;
        }
        pollfd entry{Fd, Events, 0};
        // Most replies come within a moment; the owner hears of the notes then, in one
        // wake-up, or after the moment.
        const int rc = ::poll(&entry, 1, FNotifier.WakePending() ? PromptWaitMS : WaitSliceMS);
        if (rc > 0)
            return true;
        if (rc == 0)
            FNotifier.WakeOwner();
        if (rc < 0 && errno != EINTR) {
            FLastError = WinSockErrorFromErrno(errno);
            return false;
        }
    }
}

bool TControlConnection::Open(const std::string &HostText, int Port)
{
    FReplyBuffer.Clear();
    FAborted = false;
    FTimedOutBefore = false;
    CloseSocket(FControl);
    FCurrentType = UnknownType;

    std::uint32_t address = NoAddress;
    FNotifier.WakeOwner(); // the lookup may take long
    const int resolveError = ResolveHost(HostText, address);
    if (resolveError != 0) {
        FLastError = resolveError;
        ReportSocketError();
        FLastError = resolveError; // the login decides on it whether to try again
        return false;
    }
    FHostAddress = address;
    return OpenSocket(FControl, address, Port < 1 || Port > 65535 ? 21 : Port);
}

void TControlConnection::Disconnect()
{
    CloseSocket(FControl);
    FHostAddress = NoAddress;
    FReplyBuffer.Clear();
    FNotifier.NotifyDisconnect();
}

bool TControlConnection::OpenSocket(TSocket &Socket, std::uint32_t Address, int Port)
{
    FNotifier.TraceHost("Opening Socket to %s:%d", DottedAddress(Address).c_str(), Port);
    CloseSocket(Socket);
    Socket.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
    if (!Socket.IsOpen()) {
        FLastError = WinSockErrorFromErrno(errno);
        ReportSocketError();
        return false;
    }
    if (&Socket == &FControl)
        FOpen = FControl.IsOpen();

    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(std::uint16_t(Port));
    peer.sin_addr.s_addr = Address;
    bool connected = ::connect(Socket.Fd(), reinterpret_cast<const sockaddr *>(&peer), sizeof peer) == 0;
    if (!connected && errno == EINPROGRESS) {
        StartBlocking();
        if (WaitSocket(Socket.Fd(), POLLOUT)) {
            int error = 0;
            socklen_t length = sizeof error;
            ::getsockopt(Socket.Fd(), SOL_SOCKET, SO_ERROR, &error, &length);
            connected = error == 0;
            if (!connected)
                FLastError = WinSockErrorFromErrno(error);
        }
        StopBlocking();
    } else if (!connected) {
        FLastError = WinSockErrorFromErrno(errno);
    }
    if (!connected) {
        ReportSocketError();
        CloseSocket(Socket);
        return false;
    }
    return true;
}

void TControlConnection::CloseSocket(TSocket &Socket)
{
    if (Socket.IsOpen()) {
        if (::shutdown(Socket.Fd(), SHUT_WR) == 0 || errno != ENOTCONN) {
            // Take what the peer still sent, without waiting for more.
            char discard[256];
            [[maybe_unused]] const ssize_t n = ::recv(Socket.Fd(), discard, sizeof discard, MSG_DONTWAIT);
        }
        Socket.Reset();
    }
    if (&Socket == &FControl)
        FOpen = FControl.IsOpen();
}

void TControlConnection::SendCommand(const std::string &Text)
{
    if (Text.find_first_of("\r\n") != std::string::npos) {
        FNotifier.NotifyError(0, "Command not sent: it contains a line break");
        throw ECommandFailed("line break in command");
    }
    FNotifier.Log(Text, clLogCommand);
    FNotifier.TraceHost("Sending command \"%s\"", Text.c_str());

    const std::string line = Text + "\r\n";
    std::size_t sent = 0;
    bool ok = true;
    StartBlocking();
    while (sent < line.size()) {
        if (!WaitSocket(FControl.Fd(), POLLOUT)) {
            ok = false;
            break;
        }
        const ssize_t n = ::send(FControl.Fd(), line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
        if (n > 0) {
            sent += std::size_t(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            continue;
        } else {
            FLastError = WinSockErrorFromErrno(n < 0 ? errno : ECONNRESET);
            ok = false;
            break;
        }
    }
    StopBlocking();
    if (!ok)
        ControlError();
}

int TControlConnection::GetReply()
{
    FReplyCode = 0;
    FReplyLine.clear();
    if (FCapture)
        FCapture->clear();
    FNotifier.TraceHost("Getting return code...");
    StartBlocking();

    const auto forgetReply = [this] {
        FReplyCode = 0;
        FReplyLine.clear();
        if (FCapture)
            FCapture->clear();
    };

    int replyClass = 0;
    std::size_t replyBytes = 0;
    std::string line;
    char block[TFTPComponent::ReplyBlockSize];
    while (replyClass == 0) {
        while (replyClass == 0 && FReplyBuffer.ExtractLine(line)) {
            FReplyLine = line;
            if (FCapture)
                FCapture->push_back(line);
            FReplyCode = ::ReplyCode(line);
            FNotifier.Log(line, FReplyCode < 400 ? clLogReply : clLogError);
            if (line.size() >= 4 && line[3] == ' ')
                replyClass = FReplyCode / 100;
            replyBytes += line.size() + 2;
        }
        if (replyClass != 0)
            break;

        if (FReplyBuffer.PendingSize() > TFTPComponent::MaxReplyLineLength ||
            replyBytes + FReplyBuffer.PendingSize() > TFTPComponent::MaxReplyLength) {
            // A server that never ends its line or its reply would exhaust memory.
            forgetReply();
            FReplyBuffer.Clear();
            StopBlocking();
            FLastError = WSAEMSGSIZE;
            ReportSocketError();
            throw EControlSocketException("Reply from server too long");
        }

        // Not restarted per read: a server that trickles its reply, a byte or a line
        // at a time, must still finish it within the time-out.
        if (!WaitSocket(FControl.Fd(), POLLIN)) {
            ControlError();
            break;
        }
        const ssize_t n = ::recv(FControl.Fd(), block, sizeof block, 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n == 0 || (n < 0 && errno == ECONNRESET)) {
            forgetReply();
            FLastError = WSAECONNRESET;
            FReplyBuffer.Clear();
            ControlError();
            break;
        }
        if (n < 0) {
            forgetReply();
            FLastError = WinSockErrorFromErrno(errno);
            ControlError();
            break;
        }
        FReplyBuffer.Append(block, std::size_t(n));
    }

    StopBlocking();
    if (replyClass != 0)
        FTimedOutBefore = false; // the server answers again
    FNotifier.TraceHost("Got return code = %d", FReplyCode);
    return replyClass;
}

void TControlConnection::ReportSocketError()
{
    const int code = FLastError;
    // Reported once: a later failure does not repeat an error already shown.
    FLastError = 0;
    if (code != 0 && code != WSAENOTSOCK)
        FNotifier.NotifyError(code, SocketErrorText(code));
}

void TControlConnection::ControlError()
{
    StopBlocking();
    if (FLastError == WSAEINTR && FAborted) {
        CheckAbort();
        FAborted = false;
        ReportSocketError();
        FNotifier.NotifyAbort();
        return;
    }
    ReportSocketError();
    throw EControlSocketException("");
}
