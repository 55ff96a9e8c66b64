#include "tests/support/RawFtpClient.h"

#include <cerrno>
#include <poll.h>
#include <sys/socket.h>

namespace {

enum class TReadResult { Data, Closed, Failed };

TReadResult ReadAvailable(int fd, std::string &buffer, TDeadline deadline, std::string &error)
{
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, MillisecondsLeft(deadline)) == 0) {
        error = "timed out";
        return TReadResult::Failed;
    }
    char chunk[65536];
    const ssize_t got = ::recv(fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (got > 0) {
        buffer.append(chunk, static_cast<size_t>(got));
        return TReadResult::Data;
    }
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return TReadResult::Data;
    if (got == 0) {
        error = "connection closed by the server";
        return TReadResult::Closed;
    }
    error = "recv: " + ErrnoText(errno);
    return TReadResult::Failed;
}

} // namespace

bool TRawFtpClient::Fail(std::string text)
{
    FLastError = std::move(text);
    return false;
}

bool TRawFtpClient::Connect(const std::string &host, std::uint16_t port)
{
    FBuffer.clear();
    FHost = host;
    FControl = ConnectTo(host, port, DeadlineIn(FTimeout), &FLastError);
    return FControl.IsValid();
}

bool TRawFtpClient::ReadLine(std::string &line)
{
    const TDeadline deadline = DeadlineIn(FTimeout);
    // Only new bytes are searched: an endless line must not cost quadratic time.
    for (std::size_t searched = 0;;) {
        const auto end = FBuffer.find('\n', searched);
        if (end != std::string::npos) {
            line = FBuffer.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            FBuffer.erase(0, end + 1);
            return true;
        }
        searched = FBuffer.size();
        if (!FControl)
            return Fail("not connected");
        if (ReadAvailable(FControl.Get(), FBuffer, deadline, FLastError) != TReadResult::Data)
            return false;
    }
}

std::string TRawFtpClient::ReadReply()
{
    FLastReply.clear();
    std::string line;
    if (!ReadLine(line))
        return {};
    std::string reply = line;
    // "123-" opens a multi-line reply that ends with a line starting "123 ".
    if (line.size() >= 4 && line[3] == '-') {
        const std::string end = line.substr(0, 3) + ' ';
        do {
            if (!ReadLine(line))
                return {};
            reply += '\n' + line;
        } while (line.compare(0, 4, end) != 0);
    }
    FLastReply = reply;
    return reply;
}

bool TRawFtpClient::SendLine(const std::string &line)
{
    if (!FControl)
        return Fail("not connected");
    if (!SendAll(FControl.Get(), line + "\r\n", DeadlineIn(FTimeout)))
        return Fail("send failed: " + line);
    return true;
}

std::string TRawFtpClient::Command(const std::string &line)
{
    if (!SendLine(line))
        return {};
    return ReadReply();
}

std::string TRawFtpClient::LogIn(const std::string &user, const std::string &password)
{
    const std::string reply = Command("USER " + user);
    if (Code(reply) != 331)
        return reply;
    return Command("PASS " + password);
}

int TRawFtpClient::Code(const std::string &reply)
{
    if (reply.size() < 3)
        return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (reply[i] < '0' || reply[i] > '9')
            return 0;
        code = code * 10 + (reply[i] - '0');
    }
    return code;
}

TUniqueFd TRawFtpClient::OpenPassiveData()
{
    const std::string reply = Command("PASV");
    if (Code(reply) != 227) {
        Fail("PASV refused: " + reply);
        return {};
    }
    // The port is the last two numbers of "h1,h2,h3,h4,p1,p2"; the address is ignored.
    const auto close = reply.find_last_of("0123456789");
    const auto comma = reply.rfind(',', close);
    const auto comma2 = comma == std::string::npos ? comma : reply.rfind(',', comma - 1);
    if (comma2 == std::string::npos) {
        Fail("unreadable PASV reply: " + reply);
        return {};
    }
    const int high = std::stoi(reply.substr(comma2 + 1, comma - comma2 - 1));
    const int low = std::stoi(reply.substr(comma + 1, close - comma));
    return ConnectTo(FHost, static_cast<std::uint16_t>(high * 256 + low), DeadlineIn(FTimeout),
                     &FLastError);
}

std::optional<std::string> TRawFtpClient::Fetch(const std::string &command)
{
    TUniqueFd data = OpenPassiveData();
    if (!data)
        return std::nullopt;
    const std::string preliminary = Command(command);
    if (Code(preliminary) != 150 && Code(preliminary) != 125) {
        Fail(command + " refused: " + preliminary);
        return std::nullopt;
    }
    std::string received;
    const TDeadline deadline = DeadlineIn(FTimeout);
    std::string error;
    TReadResult result;
    while ((result = ReadAvailable(data.Get(), received, deadline, error)) == TReadResult::Data) {
    }
    if (result == TReadResult::Failed) {
        Fail("data connection: " + error);
        return std::nullopt;
    }
    data.Reset();
    if (Code(ReadReply()) != 226) {
        Fail(command + " did not complete: " + FLastReply);
        return std::nullopt;
    }
    return received;
}

bool TRawFtpClient::Store(const std::string &command, const std::string &data)
{
    TUniqueFd connection = OpenPassiveData();
    if (!connection)
        return false;
    const std::string preliminary = Command(command);
    if (Code(preliminary) != 150 && Code(preliminary) != 125)
        return Fail(command + " refused: " + preliminary);
    if (!SendAll(connection.Get(), data, DeadlineIn(FTimeout)))
        return Fail("data connection: send failed");
    connection.Reset();
    if (Code(ReadReply()) != 226)
        return Fail(command + " did not complete: " + FLastReply);
    return true;
}
