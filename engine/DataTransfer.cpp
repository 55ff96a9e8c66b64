#include "engine/DataTransfer.h"

#include "engine/ControlConnection.h"
#include "engine/FTPComp.h"
#include "engine/ProtocolText.h"
#include "engine/TransferStreams.h"
#include "engine/WorkerHost.h"
#include "engine/WorkerNotifier.h"

#include <QFile>

#include <cerrno>
#include <memory>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace {

constexpr auto ProgressInterval = std::chrono::milliseconds(700);

std::string BaseName(const std::string &Path)
{
    const std::size_t slash = Path.rfind('/');
    return slash == std::string::npos ? Path : Path.substr(slash + 1);
}

std::string QuotedPath(const std::string &Path)
{
    return '"' + Path + '"';
}

// Closes the data connection however the transfer ends.
class TDataSocketScope
{
public:
    TDataSocketScope(TControlConnection &Connection, TSocket &Socket)
        : FConnection(Connection)
        , FSocket(Socket)
    {}
    ~TDataSocketScope() { FConnection.CloseSocket(FSocket); }
    TDataSocketScope(const TDataSocketScope &) = delete;
    TDataSocketScope &operator=(const TDataSocketScope &) = delete;

private:
    TControlConnection &FConnection;
    TSocket &FSocket;
};

} // namespace

TDataTransfer::TDataTransfer(TControlConnection &Connection)
    : FConnection(Connection)
    , FNotifier(Connection.Notifier())
    , FHost(Connection.Notifier().Host())
{}

bool TDataTransfer::Run(const TDownloadCommand &Command)
{
    return Download(Command.LocalName, Command.RemoteName, 0);
}

bool TDataTransfer::Run(const TUploadCommand &Command)
{
    return Upload(Command.LocalName, Command.RemoteName, 0);
}

bool TDataTransfer::Run(const TResumeDownloadCommand &Command)
{
    return Download(Command.LocalName, Command.RemoteName, Command.Offset);
}

bool TDataTransfer::Run(const TResumeUploadCommand &Command)
{
    return Upload(Command.LocalName, Command.RemoteName, Command.Offset);
}

std::int64_t TDataTransfer::RestartOffset(std::int64_t Requested)
{
    if (Requested == 0 || !FHost.CanResume())
        return 0;
    const std::int64_t offset = std::max<std::int64_t>(0, Requested);
    if (offset > 0 && FConnection.TextTransfer()) {
        // The file's line ends differ from the server's, so no offset in one is known
        // to match the same place in the other.
        FNotifier.Log("Text files are transferred whole, not resumed", clLogInfo);
        return 0;
    }
    return offset;
}

bool TDataTransfer::RefuseLineBreak(const std::string &RemoteName)
{
    if (RemoteName.find_first_of("\r\n") == std::string::npos)
        return false;
    FNotifier.NotifyError(0, "Command not sent: it contains a line break");
    return true;
}

bool TDataTransfer::Download(const std::string &LocalName, const std::string &RemoteName, std::int64_t Offset)
{
    if (!IsSafeDownloadPath(QFile::decodeName(QByteArray::fromStdString(LocalName)))) {
        FNotifier.NotifyError(0,
                              "Refused to write the local file " + QuotedPath(LocalName) + ": unsafe name");
        return false;
    }
    if (RefuseLineBreak(RemoteName))
        return false;
    const std::int64_t offset = RestartOffset(Offset);
    // Made while the server answers PASV or PORT; the download itself is asked for only
    // once the file is there. Emptied only once the server sends, so that a refused
    // download loses nothing and leaves nothing behind.
    TFileStream file;
    TTextStream text(file);
    TTransferStream &stream = FConnection.TextTransfer() ? static_cast<TTransferStream &>(text) : file;
    TWhileServerAnswers openFile([&] {
        if (!file.Open(LocalName, offset <= 0 ? TFileStream::ForDownload : TFileStream::Rewrite)) {
            FNotifier.NotifyError(0, "Unable to open local file " + QuotedPath(LocalName) + ": "
                                         + file.ErrorText());
            return false;
        }
        file.TruncateWhenBegun(offset);
        return true;
    });
    return RunTransfer({"RETR " + RemoteName, true, true, offset, RemoteName, LocalName}, stream,
                       std::move(openFile));
}

bool TDataTransfer::Upload(const std::string &LocalName, const std::string &RemoteName, std::int64_t Offset)
{
    if (RefuseLineBreak(RemoteName))
        return false;
    const std::int64_t offset = RestartOffset(Offset);
    TFileStream file;
    if (!file.Open(LocalName, TFileStream::ReadOnly)) {
        FNotifier.NotifyError(0,
                              "Unable to open local file " + QuotedPath(LocalName) + ": " + file.ErrorText());
        return false;
    }
    TTextStream text(file);
    TTransferStream &stream = FConnection.TextTransfer() ? static_cast<TTransferStream &>(text) : file;
    return RunTransfer({"STOR " + RemoteName, false, true, offset, RemoteName, {}}, stream);
}

bool TDataTransfer::RemoteSizeMatches(const std::string &RemoteName, std::int64_t Sent)
{
    int reply = 0;
    {
        // Quiet: a server that does not offer SIZE refuses it, and that is no fault.
        const TQuietScope quiet(FNotifier);
        FConnection.SendCommand("SIZE " + RemoteName);
        reply = FConnection.GetReply();
    }
    const std::string &line = FConnection.ReplyLine();
    if (reply != 2 || FConnection.ReplyCode() != 213 || line.size() < 5)
        return true;
    const std::int64_t size = TextToInt(TrimText(std::string_view(line).substr(4)), -1);
    if (size < 0 || size == Sent)
        return true;
    FNotifier.Log("The server holds " + std::to_string(size) + " bytes of the " + std::to_string(Sent)
                      + " sent",
                  clLogError);
    return false;
}

bool TWhileServerAnswers::Run()
{
    if (!FRun) {
        FRun = true;
        FOk = !FStep || FStep();
    }
    return FOk;
}

bool TDataTransfer::RunTransfer(const TTransferRequest &Request, TTransferStream &Stream,
                                TWhileServerAnswers Prepare)
{
    const TDataSocketScope dataSocket(FConnection, FData);
    const bool isDownload = Request.IsDownload;
    const std::int64_t restartOffset = Request.RestartOffset;
    FConnection.SetLastError(0);
    bool passive = FHost.Passive();
    bool ok;
    if (passive) {
        ok = OpenPassive(Prepare);
        if (!ok && FConnection.ReplyCode() == 500) {
            FNotifier.Log("Server does not support passive (PASV) mode, using active mode instead...",
                          clLogInfo);
            FHost.SetPassive(false);
            passive = false;
            ok = OpenActive(Prepare);
        }
    } else {
        ok = OpenActive(Prepare);
    }
    if (!Prepare.Run()) {
        // Its own error said why; the server was asked for nothing it must answer.
        FConnection.CloseSocket(FData);
        return false;
    }

    if (ok) {
        if (restartOffset >= 1) {
            ok = Stream.Seek(restartOffset);
            if (!ok)
                FNotifier.NotifyError(0, "Unable to position the local file: " + Stream.ErrorText());
            else {
                FConnection.SendCommand("REST " + std::to_string(Stream.Position()));
                ok = FConnection.GetReply() == 3;
            }
        }
        if (ok) {
            FConnection.SendCommand(Request.Command);
            ok = FConnection.GetReply() == 1;
        }
        std::int64_t announced = -1;
        if (ok && !Request.LocalFileName.empty()) {
            if (ParseSizeFromReply(FConnection.ReplyLine(), BaseName(Request.LocalFileName), announced))
                FNotifier.NotifyUpdateFileSize(Request.LocalFileName, announced);
            else
                announced = -1;
        }
        if (ok && !passive)
            ok = AcceptData();
        if (ok) {
            const auto start = std::chrono::steady_clock::now();
            const TTransferResult result = TransferData(Stream, Request);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            // The final reply is read even after a failure, to keep the dialogue in step.
            const bool replyOk = FConnection.GetReply() == 2;
            ok = replyOk && !result.Failed;
            // Only a binary transfer keeps the byte count; a text one changes its line ends.
            if (ok && isDownload && FConnection.ExactTransfer() && result.Bytes < announced) {
                FNotifier.Log("The data connection ended after " + std::to_string(result.Bytes) + " of "
                                  + std::to_string(announced) + " bytes",
                              clLogError);
                ok = false;
            }
            if (ok && !isDownload && FConnection.ExactTransfer() && !Request.RemoteName.empty())
                ok = RemoteSizeMatches(Request.RemoteName, result.Bytes);
            if (ok)
                FNotifier.Log(StatisticsLine(result.Bytes, seconds), clLogInfo);
            FNotifier.NotifyProgress(ppEnd, Request.IsFile, result.Bytes);
        }
        FConnection.CloseSocket(FData);
    }
    if (!ok) {
        FConnection.ReportSocketError();
        FNotifier.NotifyError(0, "Unable to complete transfer");
    }
    return ok;
}

int TDataTransfer::AskForDataConnection(const std::string &Command, TWhileServerAnswers &Prepare)
{
    FConnection.SendCommand(Command);
    Prepare.Run();
    return FConnection.GetReply();
}

bool TDataTransfer::OpenPassive(TWhileServerAnswers &Prepare)
{
    if (FData.IsOpen()) {
        FConnection.ReportSocketError();
        FConnection.CloseSocket(FData);
        return false;
    }
    if (AskForDataConnection("PASV", Prepare) != 2)
        return false;

    TPasvReply reply;
    if (!ParsePasvReply(FConnection.ReplyLine(), FConnection.HostAddress(), reply)) {
        FNotifier.Log("Illegal response from server", clLogError);
        return false;
    }
    // Data goes to the server we are talking to, never to a third host a reply names.
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    std::uint32_t address = FConnection.HostAddress();
    if (::getpeername(FConnection.Fd(), reinterpret_cast<sockaddr *>(&peer), &length) == 0)
        address = peer.sin_addr.s_addr;
    if (!Prepare.Run())
        return false; // nothing will be transferred: no connection
    const std::string peerText = DottedAddress(address);
    if (reply.Address != peerText)
        FNotifier.Log("Server named the address " + reply.Address + " for passive mode; connecting to "
                          + peerText + " instead",
                      clLogInfo);
    if (!FConnection.OpenSocket(FData, address, reply.Port)) {
        FConnection.CloseSocket(FData);
        return false;
    }
    return true;
}

bool TDataTransfer::OpenActive(TWhileServerAnswers &Prepare)
{
    const auto fail = [this] {
        FConnection.ReportSocketError();
        FConnection.CloseSocket(FData);
        return false;
    };
    if (FData.IsOpen())
        return fail();

    FData.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof local;
    if (!FData.IsOpen() || ::bind(FData.Fd(), reinterpret_cast<sockaddr *>(&local), sizeof local) != 0
        || ::getsockname(FData.Fd(), reinterpret_cast<sockaddr *>(&local), &length) != 0
        || ::listen(FData.Fd(), 1) != 0) {
        FConnection.SetLastError(WinSockErrorFromErrno(errno));
        return fail();
    }
    const unsigned port = ntohs(local.sin_port);

    sockaddr_in control{};
    length = sizeof control;
    if (::getsockname(FConnection.Fd(), reinterpret_cast<sockaddr *>(&control), &length) != 0) {
        FConnection.SetLastError(WinSockErrorFromErrno(errno));
        return fail();
    }
    const std::uint32_t address = ntohl(control.sin_addr.s_addr);
    char command[64];
    std::snprintf(command, sizeof command, "PORT %u,%u,%u,%u,%u,%u", (address >> 24) & 255u,
                  (address >> 16) & 255u, (address >> 8) & 255u, address & 255u, port / 256, port % 256);
    if (AskForDataConnection(command, Prepare) != 2)
        return fail();
    return true;
}

bool TDataTransfer::AcceptData()
{
    FConnection.StartBlocking();
    const bool ready = FConnection.WaitSocket(FData.Fd(), POLLIN);
    int accepted = -1;
    if (ready) {
        accepted = ::accept4(FData.Fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (accepted < 0)
            FConnection.SetLastError(WinSockErrorFromErrno(errno));
    }
    FConnection.StopBlocking();
    if (accepted < 0) {
        FConnection.ReportSocketError();
        FConnection.CloseSocket(FData);
        return false;
    }
    FData.Reset(accepted);
    return true;
}

TDataTransfer::TTransferResult TDataTransfer::TransferData(TTransferStream &Stream,
                                                           const TTransferRequest &Request)
{
    const bool isDownload = Request.IsDownload;
    TTransferResult result;
    result.Bytes = Stream.Position();
    FNotifier.NotifyProgress(ppStart, Request.IsFile, result.Bytes);
    FConnection.StartBlocking();
    auto last = std::chrono::steady_clock::now();

    bool socketError = false;
    bool timedOut = false;
    // Every progress step: check the time-out and report how far the transfer got.
    const auto progressStep = [&] {
        const auto now = std::chrono::steady_clock::now();
        if (now - last < ProgressInterval)
            return true;
        FConnection.CheckAbort();
        if (FConnection.TimedOut()) {
            FConnection.ReportSocketError();
            timedOut = true;
            return false;
        }
        FConnection.StartBlocking();
        last = now;
        FNotifier.NotifyProgress(ppRunning, Request.IsFile, result.Bytes);
        return true;
    };
    const auto localError = [&] {
        FNotifier.NotifyError(
            0, std::string(isDownload ? "Unable to write local file: " : "Unable to read local file: ")
                   + Stream.ErrorText());
        result.Failed = true;
    };

    // Not cleared: every transfer of a small file would otherwise pay for a quarter of
    // a megabyte of zeroes.
    const std::size_t blockSize = isDownload ? TFTPComponent::DataBlockSize : TFTPComponent::UploadBlockSize;
    const auto block = std::make_unique_for_overwrite<char[]>(blockSize);
    if (!Stream.BeginTransfer()) {
        localError(); // closing the data connection below ends the server's side too
    } else if (isDownload) {
        for (;;) {
            if (!FConnection.WaitSocket(FData.Fd(), POLLIN)) {
                socketError = true;
                break;
            }
            const ssize_t n = ::recv(FData.Fd(), block.get(), blockSize, 0);
            if (n == 0) {
                if (!Stream.EndTransfer())
                    localError();
                result.Bytes = Stream.Position();
                break;
            }
            // A reset is no end of file: whatever the server replies, bytes may be missing.
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR)
                    continue;
                FConnection.SetLastError(WinSockErrorFromErrno(errno));
                socketError = true;
                break;
            }
            if (!Stream.Write(block.get(), std::size_t(n))) {
                localError();
                break;
            }
            // Counted in the local file's bytes, which is what a listing's size gives.
            result.Bytes = Stream.Position();
            if (!progressStep())
                break;
        }
    } else {
        // A block is rarely a whole number of segments: with Nagle's rule the short tail
        // of each waits for the receiver's acknowledgement, which it may delay.
        const int noDelay = 1;
        ::setsockopt(FData.Fd(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        bool done = false;
        while (!done) {
            const std::int64_t blockStart = Stream.Position();
            const long n = Stream.Read(block.get(), blockSize);
            const std::int64_t blockEnd = Stream.Position();
            if (n < 0) {
                localError();
                break;
            }
            if (n == 0)
                break;
            std::size_t sent = 0;
            while (sent < std::size_t(n)) {
                // The socket is non-blocking: wait only when it is full.
                const ssize_t s = ::send(FData.Fd(), block.get() + sent, std::size_t(n) - sent, MSG_NOSIGNAL);
                if (s < 0 && errno == EINTR)
                    continue;
                if (s < 0 && errno == EAGAIN) {
                    if (FConnection.WaitSocket(FData.Fd(), POLLOUT))
                        continue;
                    socketError = true;
                    break;
                }
                if (s <= 0) {
                    FConnection.SetLastError(WinSockErrorFromErrno(s < 0 ? errno : ECONNRESET));
                    socketError = true;
                    break;
                }
                sent += std::size_t(s);
                result.Bytes = std::min(blockStart + std::int64_t(sent), blockEnd);
                if (!progressStep())
                    break;
            }
            done = socketError || timedOut || sent < std::size_t(n);
        }
        if (!socketError && !timedOut && !result.Failed)
            socketError = !EndUpload();
    }
    if (socketError)
        DataError();
    if (socketError || timedOut)
        result.Failed = true;

    FConnection.StopBlocking();
    FConnection.CloseSocket(FData);
    return result;
}

bool TDataTransfer::EndUpload()
{
    // The last bytes may still sit in our send buffer: closing at once would hide a
    // reset that discards them. Our end of the stream goes out, then the server's end
    // must come back clean.
    const int fd = FData.Fd();
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    if (error == 0 && ::shutdown(fd, SHUT_WR) != 0)
        error = errno == ENOTCONN ? ECONNRESET : errno;
    FConnection.StartBlocking();
    while (error == 0) {
        if (!FConnection.WaitSocket(fd, POLLIN))
            return false;
        char sink[4096];
        const ssize_t n = ::recv(fd, sink, sizeof sink, 0);
        if (n == 0)
            return true;
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            error = errno;
    }
    FConnection.SetLastError(WinSockErrorFromErrno(error));
    return false;
}

void TDataTransfer::DataError()
{
    if (FConnection.LastError() == WSAEINTR && FConnection.Aborted()) {
        FConnection.ClearAbort();
        FConnection.SetLastError(0);
        FConnection.SendCommand("ABOR");
        FConnection.CloseSocket(FData);
        FConnection.GetReply();
        FNotifier.NotifyAbort();
        return;
    }
    FConnection.ReportSocketError();
}
