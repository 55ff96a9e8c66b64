#pragma once

// The worker of one engine: takes the queued commands one at a time and hands each to
// the family that runs it, over the one control connection they share. Only the few
// members marked "owner" are called from the owner's thread.

#include "engine/CommandQueue.h"
#include "engine/ControlConnection.h"
#include "engine/DataTransfer.h"
#include "engine/FolderCommands.h"
#include "engine/ListingCommands.h"
#include "engine/LoginCommands.h"
#include "engine/WorkerNotifier.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class TWorkerHost;

class TFTPThread
{
public:
    explicit TFTPThread(TWorkerHost &Host);
    ~TFTPThread(); // joins the thread: call Quit and wait for Finished first
    TFTPThread(const TFTPThread &) = delete;
    TFTPThread &operator=(const TFTPThread &) = delete;

    // ---- owner ----
    void Start();
    TCommandQueue &Queue() { return FQueue; }
    void Abort() { FConnection.Abort(); }
    // Also cancels every wait from now on: an abort alone is consumed by the command it
    // ends, and a login would then try again.
    void Quit()
    {
        FConnection.Quit();
        FQueue.PostQuit();
    }
    bool WaitFinished(std::chrono::milliseconds Timeout);
    bool ControlOpen() const { return FConnection.IsOpen(); }
    int CurrentCommand() const { return FCurrentCommand; }

private:
    void Execute();
    bool ExecuteCommand(const TEngineCommand &Command);
    bool RunCommand(const TEngineCommand &Command);

    TCommandQueue FQueue;
    std::thread FThread;
    std::atomic<int> FCurrentCommand{fcNone};
    std::mutex FFinishMutex;
    std::condition_variable FFinishChanged;
    bool FFinished = false;
    // Worker only: the ticketed group being run, and whether the last command succeeded.
    std::uint64_t FGroupTicket = 0;
    bool FLastSucceeded = true;

    TWorkerNotifier FNotifier;
    TControlConnection FConnection;
    TLoginCommands FLogin;
    TFolderCommands FFolders;
    TDataTransfer FTransfers;
    TListingCommands FListing;
};
