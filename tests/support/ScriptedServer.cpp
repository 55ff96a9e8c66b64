#include "tests/support/ScriptedServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <poll.h>
#include <stdexcept>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A client that never ends its line must not grow the buffer without bound.
constexpr std::size_t MaxCommandLine = 1024 * 1024;

std::string Describe(const TServerScript::TStep &step)
{
    using S = TServerScript::TStep;
    switch (step.Kind) {
    case S::skSend: return "Send";
    case S::skExpect: return step.Text.empty() ? "ExpectAny" : "Expect(\"" + step.Text + "\")";
    case S::skPause: return "Pause";
    case S::skClose: return "Close";
    case S::skReset: return "Reset";
    case S::skHang: return "Hang";
    case S::skSendEndless: return "SendEndless";
    case S::skAcceptAnother: return "AcceptAnother";
    case S::skPassive: return "Passive";
    case S::skActive: return "Active";
    case S::skDataSend: return "DataSend";
    case S::skDataReceive: return "DataReceive";
    case S::skDataClose: return "DataClose";
    case S::skDataReset: return "DataReset";
    case S::skDataReceivePart: return "DataReceivePart";
    case S::skHold:
        return "Hold";
    }
    return "?";
}

void ReplaceAll(std::string &text, const std::string &from, const std::string &to)
{
    for (auto at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// "PORT h1,h2,h3,h4,p1,p2" into a dotted address and a port.
bool ParsePort(const std::string &command, std::string &host, std::uint16_t &port)
{
    int h[4];
    int p[2];
    char end = 0;
    if (std::sscanf(command.c_str(), "PORT %d,%d,%d,%d,%d,%d%c", &h[0], &h[1], &h[2], &h[3],
                    &p[0], &p[1], &end) != 6)
        return false;
    for (const int part : {h[0], h[1], h[2], h[3], p[0], p[1]})
        if (part < 0 || part > 255)
            return false;
    host = std::to_string(h[0]) + '.' + std::to_string(h[1]) + '.' + std::to_string(h[2]) + '.' +
           std::to_string(h[3]);
    port = static_cast<std::uint16_t>(p[0] * 256 + p[1]);
    return true;
}

} // namespace

// ---- TServerScript ----

TServerScript &TServerScript::Add(TStep step)
{
    FSteps.push_back(std::move(step));
    return *this;
}

TServerScript &TServerScript::Send(std::string bytes)
{
    return Add({TStep::skSend, std::move(bytes)});
}

TServerScript &TServerScript::Reply(std::string text)
{
    return Add({TStep::skSend, std::move(text) + "\r\n"});
}

TServerScript &TServerScript::Expect(std::string prefix)
{
    return Add({TStep::skExpect, std::move(prefix)});
}

TServerScript &TServerScript::Pause(std::chrono::milliseconds duration)
{
    return Add({TStep::skPause, {}, 0, 0, duration});
}

TServerScript &TServerScript::Hold()
{
    return Add({TStep::skHold, {}});
}

TServerScript &TServerScript::Close()
{
    return Add({TStep::skClose, {}});
}

TServerScript &TServerScript::Reset()
{
    return Add({TStep::skReset, {}});
}

TServerScript &TServerScript::Hang()
{
    return Add({TStep::skHang, {}});
}

TServerScript &TServerScript::SendEndless(std::size_t chunkBytes, std::size_t limitBytes)
{
    return Add({TStep::skSendEndless, {}, chunkBytes == 0 ? 1 : chunkBytes, limitBytes});
}

TServerScript &TServerScript::AcceptAnother()
{
    return Add({TStep::skAcceptAnother, {}});
}

TServerScript &TServerScript::Passive(std::string replyTemplate)
{
    return Add({TStep::skPassive, std::move(replyTemplate)});
}

TServerScript &TServerScript::Active(std::string reply)
{
    return Add({TStep::skActive, std::move(reply)});
}

TServerScript &TServerScript::DataSend(std::string bytes)
{
    return Add({TStep::skDataSend, std::move(bytes)});
}

TServerScript &TServerScript::DataReceive()
{
    return Add({TStep::skDataReceive, {}});
}

TServerScript &TServerScript::DataReceivePart(std::size_t bytes)
{
    TStep step{TStep::skDataReceivePart, {}};
    step.Limit = bytes;
    return Add(step);
}

TServerScript &TServerScript::DataClose()
{
    return Add({TStep::skDataClose, {}});
}

TServerScript &TServerScript::DataReset()
{
    return Add({TStep::skDataReset, {}});
}

// ---- TScriptedServer ----

TScriptedServer::TScriptedServer(TServerScript script, std::chrono::milliseconds stepTimeout)
    : FScript(std::move(script))
    , FStepTimeout(stepTimeout)
    , FListener(ListenOnLoopback())
    , FWake(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
    , FRelease(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK | EFD_SEMAPHORE))
    , FPort(LocalPort(FListener.Get()))
{
    if (!FWake || !FRelease)
        throw std::runtime_error("eventfd: " + ErrnoText(errno));
    FThread = std::thread([this] { Run(); });
}

TScriptedServer::~TScriptedServer()
{
    FStopping = true;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(FWake.Get(), &one, sizeof one);
    FThread.join();
}

bool TScriptedServer::WaitUntilDone(std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(FMutex);
    FEnded.wait_for(lock, timeout, [this] { return FFinished; });
    return FCompleted;
}

std::vector<std::string> TScriptedServer::ReceivedCommands() const
{
    const std::lock_guard lock(FMutex);
    return FCommands;
}

std::vector<std::string> TScriptedServer::DataReceived() const
{
    const std::lock_guard lock(FMutex);
    return FDataReceived;
}

std::vector<std::string> TScriptedServer::Failures() const
{
    const std::lock_guard lock(FMutex);
    return FFailures;
}

int TScriptedServer::ControlConnections() const
{
    const std::lock_guard lock(FMutex);
    return FControlConnections;
}

void TScriptedServer::Release()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = ::write(FRelease.Get(), &one, sizeof one);
}

void TScriptedServer::Record(std::string command)
{
    const std::lock_guard lock(FMutex);
    FCommands.push_back(std::move(command));
}

void TScriptedServer::Fail(std::string text)
{
    const std::lock_guard lock(FMutex);
    FFailures.push_back(std::move(text));
}

void TScriptedServer::Run()
{
    bool completed = false;
    std::string why;
    if (Accept(FListener, FControl, why)) {
        {
            const std::lock_guard lock(FMutex);
            ++FControlConnections;
        }
        completed = true;
        const auto &steps = FScript.Steps();
        for (std::size_t i = 0; i < steps.size() && completed; ++i)
            completed = Execute(i, steps[i]);
    } else if (!FStopping) {
        Fail("no client connected: " + why);
    }
    FData.Reset();
    FDataListener.Reset();
    FControl.Reset();
    FEarlierControls.clear();
    FListener.Reset();

    const std::lock_guard lock(FMutex);
    FCompleted = completed;
    FFinished = true;
    FEnded.notify_all();
}

TScriptedServer::TWait TScriptedServer::WaitFor(int fd, short events, bool bounded)
{
    pollfd entries[2] = {{fd, events, 0}, {FWake.Get(), POLLIN, 0}};
    const int timeout = bounded ? static_cast<int>(FStepTimeout.count()) : -1;
    for (;;) {
        if (FStopping)
            return TWait::Stopped;
        const int ready = ::poll(entries, 2, timeout);
        if (ready < 0 && errno == EINTR)
            continue;
        if (FStopping || entries[1].revents)
            return TWait::Stopped;
        return ready == 0 ? TWait::TimedOut : TWait::Ready;
    }
}

bool TScriptedServer::Accept(TUniqueFd &listener, TUniqueFd &connection, std::string &why)
{
    if (!listener) {
        why = "nothing to accept on";
        return false;
    }
    for (;;) {
        switch (WaitFor(listener.Get(), POLLIN, true)) {
        case TWait::Stopped: why = "server stopped"; return false;
        case TWait::TimedOut: why = "timed out waiting for a connection"; return false;
        case TWait::Ready: break;
        }
        const int fd = ::accept4(listener.Get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            connection.Reset(fd);
            SetNoDelay(fd);
            return true;
        }
        if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED) {
            why = "accept: " + ErrnoText(errno);
            return false;
        }
    }
}

// False with why set when the connection ended, time ran out or the server stops.
bool TScriptedServer::ReadLine(std::string &line, bool bounded, std::string &why)
{
    for (;;) {
        const auto end = FControlBuffer.find('\n');
        if (end != std::string::npos) {
            line = FControlBuffer.substr(0, end);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            FControlBuffer.erase(0, end + 1);
            return true;
        }
        if (FControlBuffer.size() > MaxCommandLine) {
            why = "command line longer than 1 MiB";
            return false;
        }
        if (!FControl) {
            why = "no control connection";
            return false;
        }
        switch (WaitFor(FControl.Get(), POLLIN, bounded)) {
        case TWait::Stopped: why = "server stopped"; return false;
        case TWait::TimedOut: why = "timed out waiting for a command"; return false;
        case TWait::Ready: break;
        }
        char chunk[4096];
        const ssize_t got = ::recv(FControl.Get(), chunk, sizeof chunk, 0);
        if (got > 0) {
            FControlBuffer.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
            why = got == 0 ? "client closed the connection" : "recv: " + ErrnoText(errno);
            return false;
        }
    }
}

bool TScriptedServer::Write(int fd, std::string_view bytes, std::string &why)
{
    if (fd < 0) {
        why = "no connection to write to";
        return false;
    }
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (errno != EAGAIN && errno != EINTR) {
            why = "send: " + ErrnoText(errno);
            return false;
        }
        // No step timeout: a client that stops reading is what SendEndless tests.
        if (WaitFor(fd, POLLOUT, false) == TWait::Stopped) {
            why = "server stopped";
            return false;
        }
    }
    return true;
}

bool TScriptedServer::OpenData(std::string &why)
{
    if (FData)
        return true;
    if (FDataListener) {
        const bool accepted = Accept(FDataListener, FData, why);
        FDataListener.Reset();
        return accepted;
    }
    if (FActivePort == 0) {
        why = "no Passive or Active step before it";
        return false;
    }
    TUniqueFd connection = StartConnect(FActiveHost, FActivePort, why);
    FActivePort = 0;
    if (!connection)
        return false;
    switch (WaitFor(connection.Get(), POLLOUT, true)) {
    case TWait::Stopped: why = "server stopped"; return false;
    case TWait::TimedOut: why = "timed out connecting to the client"; return false;
    case TWait::Ready: break;
    }
    why = ConnectOutcome(connection.Get());
    if (!why.empty())
        return false;
    SetNoDelay(connection.Get());
    FData = std::move(connection);
    return true;
}

bool TScriptedServer::SendEndless(const TServerScript::TStep &step, std::string &why)
{
    if (!FControl) {
        why = "no control connection";
        return false;
    }
    const std::string chunk(step.Chunk, 'x');
    for (std::size_t sent = 0; sent < step.Limit; sent += chunk.size()) {
        const std::size_t size = std::min(chunk.size(), step.Limit - sent);
        // The client giving up is how this step is meant to end.
        if (!Write(FControl.Get(), std::string_view(chunk).substr(0, size), why))
            return !FStopping;
    }
    return true;
}

bool TScriptedServer::DataReceive(std::string &why, std::size_t limit)
{
    if (!OpenData(why))
        return false;
    std::string received;
    while (limit == 0 || received.size() < limit) {
        switch (WaitFor(FData.Get(), POLLIN, true)) {
        case TWait::Stopped: why = "server stopped"; return false;
        case TWait::TimedOut: why = "timed out waiting for data"; return false;
        case TWait::Ready: break;
        }
        char chunk[65536];
        const std::size_t wanted =
            limit == 0 ? sizeof chunk : std::min(sizeof chunk, limit - received.size());
        const ssize_t got = ::recv(FData.Get(), chunk, wanted, 0);
        if (got > 0) {
            received.append(chunk, static_cast<std::size_t>(got));
        } else if (got == 0) {
            break;
        } else if (errno != EAGAIN && errno != EINTR) {
            why = "recv: " + ErrnoText(errno);
            return false;
        }
    }
    if (limit == 0)
        FData.Reset();
    const std::lock_guard lock(FMutex);
    FDataReceived.push_back(std::move(received));
    return true;
}

bool TScriptedServer::Execute(std::size_t index, const TServerScript::TStep &step)
{
    using S = TServerScript::TStep;
    std::string why;
    std::string line;
    // Reads the command the step answers; a different one is recorded, not fatal.
    auto readCommand = [&](const std::string &prefix) {
        if (!ReadLine(line, true, why))
            return false;
        Record(line);
        if (line.compare(0, prefix.size(), prefix) != 0)
            Fail("step " + std::to_string(index + 1) + " " + Describe(step) + ": got \"" + line +
                 "\"");
        return true;
    };

    bool ok = true;
    switch (step.Kind) {
    case S::skSend:
        ok = Write(FControl.Get(), step.Text, why);
        break;
    case S::skExpect:
        ok = readCommand(step.Text);
        break;
    case S::skPause: {
        pollfd wake{FWake.Get(), POLLIN, 0};
        ::poll(&wake, 1, static_cast<int>(step.Duration.count()));
        ok = !FStopping;
        break;
    }
    case S::skHold: {
        const TWait wait = WaitFor(FRelease.Get(), POLLIN, true);
        std::uint64_t count = 0;
        ok = wait == TWait::Ready && ::read(FRelease.Get(), &count, sizeof count) == sizeof count;
        if (wait == TWait::TimedOut)
            why = "not released in time";
        break;
    }
    case S::skClose:
        FControl.Reset();
        FControlBuffer.clear();
        break;
    case S::skReset:
        CloseWithReset(FControl);
        FControlBuffer.clear();
        break;
    case S::skHang:
        while (ReadLine(line, false, why))
            Record(line);
        ok = !FStopping;
        break;
    case S::skSendEndless:
        ok = SendEndless(step, why);
        break;
    case S::skAcceptAnother:
        if (FControl)
            FEarlierControls.push_back(std::move(FControl));
        FControlBuffer.clear();
        ok = Accept(FListener, FControl, why);
        if (ok) {
            const std::lock_guard lock(FMutex);
            ++FControlConnections;
        }
        break;
    case S::skPassive: {
        if (!(ok = readCommand("PASV")))
            break;
        FData.Reset();
        FDataListener = ListenOnLoopback();
        const std::uint16_t port = LocalPort(FDataListener.Get());
        std::string reply = step.Text;
        ReplaceAll(reply, "{addr}", "127,0,0,1");
        ReplaceAll(reply, "{port}", std::to_string(port / 256) + ',' + std::to_string(port % 256));
        ok = Write(FControl.Get(), reply + "\r\n", why);
        break;
    }
    case S::skActive:
        if (!(ok = readCommand("PORT")))
            break;
        FData.Reset();
        FDataListener.Reset();
        if (!ParsePort(line, FActiveHost, FActivePort)) {
            why = "unreadable PORT command";
            ok = false;
            break;
        }
        ok = Write(FControl.Get(), step.Text + "\r\n", why);
        break;
    case S::skDataSend:
        ok = OpenData(why) && Write(FData.Get(), step.Text, why);
        break;
    case S::skDataReceive:
        ok = DataReceive(why);
        break;
    case S::skDataReceivePart:
        ok = DataReceive(why, step.Limit);
        break;
    case S::skDataClose:
        FData.Reset();
        FDataListener.Reset();
        break;
    case S::skDataReset:
        CloseWithReset(FData);
        FDataListener.Reset();
        break;
    }
    if (!ok && !FStopping)
        Fail("step " + std::to_string(index + 1) + " " + Describe(step) + ": " + why);
    return ok;
}
