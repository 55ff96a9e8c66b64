#pragma once

// The worker of one engine: runs the queued commands one at a time over blocking
// waits that end early on abort or time-out, and reports through notifications.
// Only the few members marked "owner" are called from the owner's thread.

#include "engine/CommandQueue.h"
#include "engine/FTPComp.h"
#include "engine/Parsers.h"
#include "engine/ReplyReader.h"
#include "engine/Sockets.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

class TTransferStream;

// The control connection failed; the dispatcher ends the connection.
class EControlSocketException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The command cannot go on (its Error is already reported); the connection stays.
class ECommandFailed : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

using TParams = std::vector<std::string>;

class TFTPThread
{
public:
    explicit TFTPThread(TFTPComponent &Owner);
    ~TFTPThread(); // joins the thread: call Quit and wait for Finished first
    TFTPThread(const TFTPThread &) = delete;
    TFTPThread &operator=(const TFTPThread &) = delete;

    // ---- owner ----
    void Start();
    TCommandQueue &Queue() { return FQueue; }
    void Abort() { FAborted = true; }
    // Also cancels every wait from now on: an abort alone is consumed by the command it
    // ends, and a login would then try again.
    void Quit()
    {
        FQuitting = true;
        FQueue.PostQuit();
    }
    bool WaitFinished(std::chrono::milliseconds Timeout);
    bool ControlOpen() const { return FControlOpen; }
    int CurrentCommand() const { return FCurrentCommand; }

private:
    // The running wait is to end: an abort, or the engine going away.
    bool Cancelled() const { return FAborted || FQuitting; }
    // Main loop and dispatcher (FTPThread.cpp).
    void Execute();
    void HandleFlush();
    bool ExecuteCommand(int Kind, const TParams &Params);
    bool RunCommand(int Kind, const TParams &Params);

    // Control connection and socket layer (ControlConnection.cpp).
    bool OpenControlConnection(const std::string &HostText, const std::string &PortText);
    bool OpenSocket(TSocket &Socket, std::uint32_t Address, int Port);
    void CloseSocket(TSocket &Socket);
    void SendCommand(const std::string &Text);
    int GetReply();
    void ReportSocketError();
    void ControlError();
    bool CheckAbort();
    bool TimedOut() const;
    // Waits until the socket is ready for Events in slices of at most 100 ms; false
    // with FLastError set when aborted, timed out (both: WSAEINTR with the aborted
    // flag set) or failed.
    bool WaitSocket(int Fd, short Events);
    void StartBlocking();
    void StopBlocking();
    void SyncControlState();

    // Login and logout (Login.cpp).
    bool DoLogin(const TParams &Params, bool ViaFirewall);
    bool LoginToHost(const std::string &User, const std::string &Password, const std::string &Account,
                     bool FirewallUserSent = false);
    // USER has been answered with ReplyClass: PASS and ACCT as the server asks.
    bool FinishLogin(int ReplyClass, const std::string &Password, const std::string &Account);
    bool LoginViaFirewall(int FirewallType, const std::string &FirewallUser, const std::string &FirewallPassword,
                          const std::string &Host, const std::string &PortText, const std::string &User,
                          const std::string &Password, const std::string &Account);
    void DetectServerType();
    bool DoLogout();

    // Data connections and transfers (DataTransfer.cpp).
    bool DoDownload(const TParams &Params);
    bool DoUpload(const TParams &Params);
    // RemoteName, given for a file, lets the byte count be checked where the type keeps it.
    bool RunTransfer(const std::string &Command, bool IsDownload, std::int64_t RestartOffset,
                     TTransferStream &Stream, const std::string &RemoteName = {});
    bool TextTransfer() const;  // TYPE A: line ends change on the way
    bool ExactTransfer() const; // TYPE I: the file arrives byte for byte
    bool RefuseLineBreak(const std::string &RemoteName);
    // False, with the mismatch logged, when SIZE names another size than Sent.
    bool RemoteSizeMatches(const std::string &RemoteName, std::int64_t Sent);
    // After an upload's last byte: false when the connection does not end cleanly.
    bool EndUpload();
    bool OpenPassive();
    bool OpenActive();
    bool AcceptData();
    struct TTransferResult
    {
        std::int64_t Bytes = 0;
        bool Failed = false;
    };
    TTransferResult TransferData(TTransferStream &Stream, bool IsDownload);
    void DataError();
    std::int64_t RestartOffset(const TParams &Params);

    // Folder and file commands (FolderCommands.cpp).
    bool FolderCommand(const std::string &Command, int ReplyType);
    bool DoList(const TParams &Params);
    bool ProcessListing(const std::string &Folder, const std::string &Text);
    bool DoDelete(const TParams &Params);
    bool DoRename(const TParams &Params);
    bool DoChangeAttributes(const TParams &Params);
    bool DoSetType(const TParams &Params);
    bool DoNoOp();

    // Notifications (WorkerNotify.cpp).
    void TraceHost(const char *Format, ...) __attribute__((format(printf, 2, 3)));
    void Post(TNotification Note);
    // Wakes the owner for the notes queued since the last wake-up, if any.
    void WakeOwner();
    void NotifyAbort();
    void NotifyCantLogIn();
    void NotifyConnect();
    void NotifyDisconnect();
    void NotifyError(int Code, const std::string &Desc);
    void NotifyFolderReply(const std::string &Folder, int ReplyType, bool Result);
    void Log(const std::string &Message, TColor Color);
    void NotifyLoggedIn();
    void NotifyProgress(int Phase, std::int64_t Bytes);
    void NotifyProcessList(const std::string &Folder, TDirListing List);
    void NotifyRenameSuccessful(const std::string &OldName, const std::string &NewName);
    void NotifyUpdateFileSize(const std::string &FileName, std::int64_t NewSize);

    TFTPComponent &FOwner;
    bool FWakePending = false;
    TCommandQueue FQueue;
    std::thread FThread;

    // Shared with the owner.
    std::atomic<bool> FAborted{false};
    std::atomic<bool> FQuitting{false};
    std::atomic<int> FCurrentCommand{fcNone};
    std::atomic<bool> FControlOpen{false};
    std::mutex FFinishMutex;
    std::condition_variable FFinishChanged;
    bool FFinished = false;

    // Worker only.
    TSocket FControl;
    TSocket FData;
    std::uint32_t FHostAddress = NoAddress;
    TReplyBuffer FReplyBuffer;
    // The transfer type the server is in; unknown until a login has set it.
    static constexpr int UnknownType = -1;
    int FCurrentType = UnknownType;
    std::string FLocalFileName;
    bool FFileTransfer = true;
    int FReplyCode = 0;
    std::string FReplyLine;
    std::vector<std::string> *FCapture = nullptr;
    bool FQuiet = false;
    bool FBlocking = false;
    std::chrono::steady_clock::time_point FBlockingStart;
    // A wait of this connection ran out of time and the server has not answered since:
    // the clean-up steps that follow wait only briefly.
    bool FTimedOutBefore = false;
    int FLastError = 0;
    TListingState FListingState;
};
