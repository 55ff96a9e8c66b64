#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// A program a test starts and must not outlive the test. It runs in a process group
// of its own, its standard descriptors (stdin too) on one output file, and
// the kernel kills it when the thread that started it ends (PR_SET_PDEATHSIG), so a
// crashed test leaves no server behind. Start it from a thread that outlives it:
// normally the test's main thread.
class TChildProcess
{
public:
    // argv[0] is the program's path. Throws std::runtime_error when the output file
    // cannot be created or fork fails; a program that cannot be executed exits at once
    // with code 127 and says why in the output file.
    TChildProcess(const std::vector<std::string> &argv, const std::string &outputPath);
    ~TChildProcess() { Stop(); }
    TChildProcess(const TChildProcess &) = delete;
    TChildProcess &operator=(const TChildProcess &) = delete;

    pid_t Pid() const { return FPid; }
    bool IsRunning();
    // "exited with code N" or "killed by signal N" once it ended.
    std::string ExitDescription() const;

    // Ends the program and every process descending from it, each in its own group
    // too (children that called setsid()): SIGTERM, then SIGKILL after a grace period.
    // Returns at once when it already ended; never throws.
    void Stop();

private:
    bool Reap(bool wait);

    pid_t FPid = -1;
    bool FReaped = false;
    int FStatus = 0;
};

// The process and all its living descendants, the process first.
std::vector<pid_t> ProcessTree(pid_t root);
// True when no such process exists or it is a zombie: it has stopped running.
bool IsProcessGone(pid_t pid);

struct TProgramResult
{
    int ExitCode = -1; // -1 when it did not exit normally
    std::string Output; // stdout and stderr together
};

// Runs a program to its end (argv[0] is its path).
TProgramResult RunProgram(const std::vector<std::string> &argv);
