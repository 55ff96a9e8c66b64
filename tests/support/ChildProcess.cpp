#include "tests/support/ChildProcess.h"

#include "tests/support/TestSockets.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// Forks and executes argv with the given standard descriptors. Between fork and exec
// only async-signal-safe calls are made: the test process has threads.
pid_t Spawn(const std::vector<std::string> &argv, int inputFd, int outputFd)
{
    std::vector<char *> args;
    for (const std::string &arg : argv)
        args.push_back(const_cast<char *>(arg.c_str()));
    args.push_back(nullptr);
    const std::string execFailure = "cannot execute " + argv.at(0) + "\n";
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork: " + ErrnoText(errno));
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        ::setpgid(0, 0);
        // Ignored and blocked signals survive exec; the server must obey TERM.
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        for (const int sig : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD})
            ::signal(sig, SIG_DFL);
        ::dup2(inputFd, STDIN_FILENO);
        ::dup2(outputFd, STDOUT_FILENO);
        ::dup2(outputFd, STDERR_FILENO);
        // An inherited client socket would keep a connection open after the test closed it.
        ::close_range(3, ~0u, 0);
        ::execv(args[0], args.data());
        [[maybe_unused]] const ssize_t ignored =
            ::write(STDERR_FILENO, execFailure.data(), execFailure.size());
        ::_exit(127);
    }
    // Also here, so that a kill of the group cannot come before the child's own call.
    ::setpgid(pid, pid);
    return pid;
}

struct TProcessInfo
{
    pid_t Parent = 0;
    pid_t Group = 0;
    char State = '?';
};

bool ReadProcessInfo(pid_t pid, TProcessInfo &info)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!stat || !std::getline(stat, text))
        return false;
    // "pid (comm) state ppid pgrp ...": comm may hold spaces and parentheses.
    const auto close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size())
        return false;
    const char *fields = text.c_str() + close + 2;
    int parent = 0;
    int group = 0;
    if (std::sscanf(fields, "%c %d %d", &info.State, &parent, &group) != 3)
        return false;
    info.Parent = parent;
    info.Group = group;
    return true;
}

void SignalAll(const std::vector<pid_t> &members, int signal)
{
    const pid_t ownGroup = ::getpgrp();
    for (const pid_t pid : members) {
        const pid_t group = ::getpgid(pid);
        if (group > 1 && group != ownGroup)
            ::kill(-group, signal);
        ::kill(pid, signal);
    }
}

} // namespace

std::vector<pid_t> ProcessTree(pid_t root)
{
    std::multimap<pid_t, pid_t> children;
    if (DIR *proc = ::opendir("/proc")) {
        while (const dirent *entry = ::readdir(proc)) {
            char *end = nullptr;
            const long pid = std::strtol(entry->d_name, &end, 10);
            TProcessInfo info;
            if (*end == '\0' && pid > 0 && ReadProcessInfo(static_cast<pid_t>(pid), info))
                children.emplace(info.Parent, static_cast<pid_t>(pid));
        }
        ::closedir(proc);
    }
    std::vector<pid_t> tree;
    if (IsProcessGone(root))
        return tree;
    tree.push_back(root);
    for (size_t i = 0; i < tree.size(); ++i) {
        const auto [first, last] = children.equal_range(tree[i]);
        for (auto it = first; it != last; ++it)
            tree.push_back(it->second);
    }
    return tree;
}

bool IsProcessGone(pid_t pid)
{
    TProcessInfo info;
    return !ReadProcessInfo(pid, info) || info.State == 'Z' || info.State == 'X';
}

TChildProcess::TChildProcess(const std::vector<std::string> &argv, const std::string &outputPath)
{
    const TUniqueFd output(
        ::open(outputPath.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644));
    if (!output)
        throw std::runtime_error("cannot create " + outputPath + ": " + ErrnoText(errno));
    // Also as stdin: vsftpd writes its start-up errors to descriptor 0.
    FPid = Spawn(argv, output.Get(), output.Get());
}

bool TChildProcess::Reap(bool wait)
{
    if (FReaped)
        return true;
    int status = 0;
    const pid_t result = ::waitpid(FPid, &status, wait ? 0 : WNOHANG);
    if (result == FPid) {
        FStatus = status;
        FReaped = true;
    } else if (result < 0 && errno == ECHILD) {
        // Someone else reaped it (SIGCHLD ignored): it has ended all the same.
        FReaped = true;
    }
    return FReaped;
}

bool TChildProcess::IsRunning()
{
    return FPid > 0 && !Reap(false);
}

std::string TChildProcess::ExitDescription() const
{
    if (!FReaped)
        return "running";
    if (WIFEXITED(FStatus))
        return "exited with code " + std::to_string(WEXITSTATUS(FStatus));
    if (WIFSIGNALED(FStatus))
        return "killed by signal " + std::to_string(WTERMSIG(FStatus));
    return "ended";
}

void TChildProcess::Stop()
{
    if (FPid <= 0 || Reap(false))
        return;
    // Collected first: once the program ends its children are reparented and lost.
    std::vector<pid_t> members = ProcessTree(FPid);
    auto waitUntilGone = [&](std::chrono::milliseconds grace) {
        const TDeadline deadline = DeadlineIn(grace);
        for (;;) {
            Reap(false);
            const bool allGone = std::all_of(members.begin(), members.end(), [&](pid_t pid) {
                return pid == FPid ? FReaped : IsProcessGone(pid);
            });
            if (allGone || MillisecondsLeft(deadline) == 0)
                return allGone;
            std::this_thread::sleep_for(10ms);
        }
    };
    SignalAll(members, SIGTERM);
    if (!waitUntilGone(3s)) {
        if (!FReaped) {
            for (const pid_t pid : ProcessTree(FPid))
                if (std::find(members.begin(), members.end(), pid) == members.end())
                    members.push_back(pid);
        }
        SignalAll(members, SIGKILL);
        waitUntilGone(10s);
    }
    Reap(true);
}

TProgramResult RunProgram(const std::vector<std::string> &argv)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe: " + ErrnoText(errno));
    const TUniqueFd readEnd(ends[0]);
    TUniqueFd writeEnd(ends[1]);
    const TUniqueFd devNull(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    const pid_t pid = Spawn(argv, devNull.Get(), writeEnd.Get());
    writeEnd.Reset();

    TProgramResult result;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(readEnd.Get(), chunk, sizeof chunk);
        if (got > 0)
            result.Output.append(chunk, static_cast<size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        result.ExitCode = WEXITSTATUS(status);
    return result;
}
