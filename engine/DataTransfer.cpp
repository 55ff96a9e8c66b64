// Data connections (passive and active) and the transfers over them.

#include "engine/FTPThread.h"

#include "engine/ProtocolText.h"
#include "engine/TransferStreams.h"

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

} // namespace

std::int64_t TFTPThread::RestartOffset(const TParams &Params)
{
    if (Params.size() <= 2 || !FOwner.CanResume())
        return 0;
    const std::int64_t offset = std::max<std::int64_t>(0, TextToInt(Params[2], 0));
    if (offset > 0 && TextTransfer()) {
        // The file's line ends differ from the server's, so no offset in one is known
        // to match the same place in the other.
        Log("Text files are transferred whole, not resumed", clLogInfo);
        return 0;
    }
    return offset;
}

bool TFTPThread::TextTransfer() const
{
    return FCurrentType == ttASCII;
}

bool TFTPThread::ExactTransfer() const
{
    return FCurrentType != UnknownType && TransferTypeLetter(FCurrentType) == 'I';
}

bool TFTPThread::RefuseLineBreak(const std::string &RemoteName)
{
    if (RemoteName.find_first_of("\r\n") == std::string::npos)
        return false;
    NotifyError(0, "Command not sent: it contains a line break");
    return true;
}

bool TFTPThread::DoDownload(const TParams &Params)
{
    const std::string local = Params.size() > 0 ? Params[0] : std::string();
    const std::string remote = Params.size() > 1 ? Params[1] : std::string();
    if (!IsSafeDownloadPath(QFile::decodeName(QByteArray::fromStdString(local)))) {
        NotifyError(0, "Refused to write the local file " + QuotedPath(local) + ": unsafe name");
        return false;
    }
    if (RefuseLineBreak(remote))
        return false;
    const std::int64_t offset = RestartOffset(Params);
    // Opened now, so that a file we cannot write fails before the server is asked;
    // emptied only once the server sends, so that a refused download loses nothing
    // and leaves nothing behind.
    TFileStream file;
    if (!file.Open(local, offset <= 0 ? TFileStream::ForDownload : TFileStream::Rewrite)) {
        NotifyError(0, "Unable to open local file " + QuotedPath(local) + ": " + file.ErrorText());
        return false;
    }
    file.TruncateWhenBegun(offset);
    TTextStream text(file);
    TTransferStream &stream = TextTransfer() ? static_cast<TTransferStream &>(text) : file;
    FLocalFileName = local;
    const bool success = RunTransfer("RETR " + remote, true, offset, stream, remote);
    FLocalFileName.clear();
    return success;
}

bool TFTPThread::DoUpload(const TParams &Params)
{
    const std::string local = Params.size() > 0 ? Params[0] : std::string();
    const std::string remote = Params.size() > 1 ? Params[1] : std::string();
    if (RefuseLineBreak(remote))
        return false;
    const std::int64_t offset = RestartOffset(Params);
    TFileStream file;
    if (!file.Open(local, TFileStream::ReadOnly)) {
        NotifyError(0, "Unable to open local file " + QuotedPath(local) + ": " + file.ErrorText());
        return false;
    }
    TTextStream text(file);
    TTransferStream &stream = TextTransfer() ? static_cast<TTransferStream &>(text) : file;
    return RunTransfer("STOR " + remote, false, offset, stream, remote);
}

bool TFTPThread::RemoteSizeMatches(const std::string &RemoteName, std::int64_t Sent)
{
    // Quiet: a server that does not offer SIZE refuses it, and that is no fault.
    FQuiet = true;
    SendCommand("SIZE " + RemoteName);
    const int reply = GetReply();
    FQuiet = false;
    if (reply != 2 || FReplyCode != 213 || FReplyLine.size() < 5)
        return true;
    const std::int64_t size = TextToInt(TrimText(std::string_view(FReplyLine).substr(4)), -1);
    if (size < 0 || size == Sent)
        return true;
    Log("The server holds " + std::to_string(size) + " bytes of the " + std::to_string(Sent) + " sent",
        clLogError);
    return false;
}

bool TFTPThread::RunTransfer(const std::string &Command, bool IsDownload, std::int64_t RestartOffset,
                             TTransferStream &Stream, const std::string &RemoteName)
{
    FLastError = 0;
    bool passive = FOwner.Passive();
    bool ok;
    if (passive) {
        ok = OpenPassive();
        if (!ok && FReplyCode == 500) {
            Log("Server does not support passive (PASV) mode, using active mode instead...", clLogInfo);
            FOwner.SetPassive(false);
            passive = false;
            ok = OpenActive();
        }
    } else {
        ok = OpenActive();
    }

    if (ok) {
        if (RestartOffset >= 1) {
            ok = Stream.Seek(RestartOffset);
            if (!ok)
                NotifyError(0, "Unable to position the local file: " + Stream.ErrorText());
            else {
                SendCommand("REST " + std::to_string(Stream.Position()));
                ok = GetReply() == 3;
            }
        }
        if (ok) {
            SendCommand(Command);
            ok = GetReply() == 1;
        }
        std::int64_t announced = -1;
        if (ok && !FLocalFileName.empty()) {
            if (ParseSizeFromReply(FReplyLine, BaseName(FLocalFileName), announced))
                NotifyUpdateFileSize(FLocalFileName, announced);
            else
                announced = -1;
        }
        if (ok && !passive)
            ok = AcceptData();
        if (ok) {
            const auto start = std::chrono::steady_clock::now();
            const TTransferResult result = TransferData(Stream, IsDownload);
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            // The final reply is read even after a failure, to keep the dialogue in step.
            const bool replyOk = GetReply() == 2;
            ok = replyOk && !result.Failed;
            // Only a binary transfer keeps the byte count; a text one changes its line ends.
            if (ok && IsDownload && ExactTransfer() && result.Bytes < announced) {
                Log("The data connection ended after " + std::to_string(result.Bytes) + " of "
                        + std::to_string(announced) + " bytes",
                    clLogError);
                ok = false;
            }
            if (ok && !IsDownload && ExactTransfer() && !RemoteName.empty())
                ok = RemoteSizeMatches(RemoteName, result.Bytes);
            if (ok)
                Log(StatisticsLine(result.Bytes, seconds), clLogInfo);
            NotifyProgress(ppEnd, result.Bytes);
        }
        CloseSocket(FData);
    }
    if (!ok) {
        ReportSocketError();
        NotifyError(0, "Unable to complete transfer");
    }
    return ok;
}

bool TFTPThread::OpenPassive()
{
    if (FData.IsOpen()) {
        ReportSocketError();
        CloseSocket(FData);
        return false;
    }
    SendCommand("PASV");
    if (GetReply() != 2)
        return false;

    TPasvReply reply;
    if (!ParsePasvReply(FReplyLine, FHostAddress, reply)) {
        Log("Illegal response from server", clLogError);
        return false;
    }
    // Data goes to the server we are talking to, never to a third host a reply names.
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    std::uint32_t address = FHostAddress;
    if (::getpeername(FControl.Fd(), reinterpret_cast<sockaddr *>(&peer), &length) == 0)
        address = peer.sin_addr.s_addr;
    const std::string peerText = DottedAddress(address);
    if (reply.Address != peerText)
        Log("Server named the address " + reply.Address + " for passive mode; connecting to " + peerText +
                " instead",
            clLogInfo);
    if (!OpenSocket(FData, address, reply.Port)) {
        CloseSocket(FData);
        return false;
    }
    return true;
}

bool TFTPThread::OpenActive()
{
    const auto fail = [this] {
        ReportSocketError();
        CloseSocket(FData);
        return false;
    };
    if (FData.IsOpen())
        return fail();

    FData.Reset(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t length = sizeof local;
    if (!FData.IsOpen() || ::bind(FData.Fd(), reinterpret_cast<sockaddr *>(&local), sizeof local) != 0 ||
        ::getsockname(FData.Fd(), reinterpret_cast<sockaddr *>(&local), &length) != 0 ||
        ::listen(FData.Fd(), 1) != 0) {
        FLastError = WinSockErrorFromErrno(errno);
        return fail();
    }
    const unsigned port = ntohs(local.sin_port);

    sockaddr_in control{};
    length = sizeof control;
    if (::getsockname(FControl.Fd(), reinterpret_cast<sockaddr *>(&control), &length) != 0) {
        FLastError = WinSockErrorFromErrno(errno);
        return fail();
    }
    const std::uint32_t address = ntohl(control.sin_addr.s_addr);
    char command[64];
    std::snprintf(command, sizeof command, "PORT %u,%u,%u,%u,%u,%u", (address >> 24) & 255u, (address >> 16) & 255u,
                  (address >> 8) & 255u, address & 255u, port / 256, port % 256);
    SendCommand(command);
    if (GetReply() != 2)
        return fail();
    return true;
}

bool TFTPThread::AcceptData()
{
    StartBlocking();
    const bool ready = WaitSocket(FData.Fd(), POLLIN);
    int accepted = -1;
    if (ready) {
        accepted = ::accept4(FData.Fd(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (accepted < 0)
            FLastError = WinSockErrorFromErrno(errno);
    }
    StopBlocking();
    if (accepted < 0) {
        ReportSocketError();
        CloseSocket(FData);
        return false;
    }
    FData.Reset(accepted);
    return true;
}

TFTPThread::TTransferResult TFTPThread::TransferData(TTransferStream &Stream, bool IsDownload)
{
    TTransferResult result;
    result.Bytes = Stream.Position();
    NotifyProgress(ppStart, result.Bytes);
    StartBlocking();
    auto last = std::chrono::steady_clock::now();

    bool socketError = false;
    bool timedOut = false;
    // Every progress step: check the time-out and report how far the transfer got.
    const auto progressStep = [&] {
        const auto now = std::chrono::steady_clock::now();
        if (now - last < ProgressInterval)
            return true;
        CheckAbort();
        if (TimedOut()) {
            ReportSocketError();
            timedOut = true;
            return false;
        }
        StartBlocking();
        last = now;
        NotifyProgress(ppRunning, result.Bytes);
        return true;
    };
    const auto localError = [&] {
        NotifyError(0, std::string(IsDownload ? "Unable to write local file: " : "Unable to read local file: ") +
                           Stream.ErrorText());
        result.Failed = true;
    };

    // Not cleared: every transfer of a small file would otherwise pay for a quarter of
    // a megabyte of zeroes.
    const std::size_t blockSize = IsDownload ? TFTPComponent::DataBlockSize : TFTPComponent::UploadBlockSize;
    const auto block = std::make_unique_for_overwrite<char[]>(blockSize);
    if (!Stream.BeginTransfer()) {
        localError(); // closing the data connection below ends the server's side too
    } else if (IsDownload) {
        for (;;) {
            if (!WaitSocket(FData.Fd(), POLLIN)) {
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
                FLastError = WinSockErrorFromErrno(errno);
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
                    if (WaitSocket(FData.Fd(), POLLOUT))
                        continue;
                    socketError = true;
                    break;
                }
                if (s <= 0) {
                    FLastError = WinSockErrorFromErrno(s < 0 ? errno : ECONNRESET);
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

    StopBlocking();
    CloseSocket(FData);
    return result;
}

bool TFTPThread::EndUpload()
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
    StartBlocking();
    while (error == 0) {
        if (!WaitSocket(fd, POLLIN))
            return false;
        char sink[4096];
        const ssize_t n = ::recv(fd, sink, sizeof sink, 0);
        if (n == 0)
            return true;
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            error = errno;
    }
    FLastError = WinSockErrorFromErrno(error);
    return false;
}

void TFTPThread::DataError()
{
    if (FLastError == WSAEINTR && FAborted) {
        FAborted = false;
        FLastError = 0;
        SendCommand("ABOR");
        CloseSocket(FData);
        GetReply();
        NotifyAbort();
        return;
    }
    ReportSocketError();
}
