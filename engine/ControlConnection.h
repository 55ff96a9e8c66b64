#pragma once

// The control connection of one worker, shared by every command family: the socket,
// the reply reader, the transfer type the server is in, and the blocking waits that an
// abort or the time-out cut short (data connections wait through it too). Worker's
// thread only, except the members marked "owner".

#include "engine/ReplyReader.h"
#include "engine/Sockets.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

class TWorkerNotifier;

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

class TControlConnection
{
public:
    // The transfer type the server is in; unknown until a login has set it.
    static constexpr int UnknownType = -1;

    explicit TControlConnection(TWorkerNotifier &Notifier)
        : FNotifier(Notifier)
    {}
    TControlConnection(const TControlConnection &) = delete;
    TControlConnection &operator=(const TControlConnection &) = delete;

    // ---- owner ----
    void Abort() { FAborted = true; }
    // Also cancels every wait from now on: an abort alone is consumed by the command it
    // ends, and a login would then try again.
    void Quit() { FQuitting = true; }
    bool IsOpen() const { return FOpen; }

    // ---- worker ----
    TWorkerNotifier &Notifier() { return FNotifier; }
    // The running wait is to end: an abort, or the engine going away.
    bool Cancelled() const { return FAborted || FQuitting; }
    bool Aborted() const { return FAborted; }
    void ClearAbort() { FAborted = false; }
    // A command starts. Only the logout belongs to the clean-up after a time-out; any
    // other command deserves the whole time-out again.
    void BeginCommand(bool CleanUp);
    // Whatever ended the command, the next one starts from a clean state.
    void EndCommand();

    // Resolves the host and connects; false with the error reported.
    bool Open(const std::string &HostText, int Port);
    // Closes the control connection and forgets the server, then notifies Disconnect.
    void Disconnect();
    void Close() { CloseSocket(FControl); }
    std::uint32_t HostAddress() const { return FHostAddress; }
    int Fd() const { return FControl.Fd(); }

    // For the control and the data connections alike.
    bool OpenSocket(TSocket &Socket, std::uint32_t Address, int Port);
    void CloseSocket(TSocket &Socket);

    void SendCommand(const std::string &Text);
    // The reply's class (its code's first digit); 0 when none came.
    int GetReply();
    int ReplyCode() const { return FReplyCode; }
    const std::string &ReplyLine() const { return FReplyLine; }

    int LastError() const { return FLastError; }
    void SetLastError(int Code) { FLastError = Code; }
    // Notifies the last socket error, once.
    void ReportSocketError();
    // The control connection failed: an abort is notified, anything else ends the
    // connection (EControlSocketException).
    void ControlError();
    // True when cancelled; sets the last error for a cancel or a time-out.
    bool CheckAbort();
    bool TimedOut() const;
    // Waits until the socket is ready for Events in slices of at most 100 ms; false
    // with the last error set when aborted, timed out (both: WSAEINTR with the aborted
    // flag set) or failed.
    bool WaitSocket(int Fd, short Events);
    // The time-out counts from here.
    void StartBlocking();
    void StopBlocking();

    int CurrentType() const { return FCurrentType; }
    void SetCurrentType(int Type) { FCurrentType = Type; }
    bool TextTransfer() const;  // TYPE A: line ends change on the way
    bool ExactTransfer() const; // TYPE I: the file arrives byte for byte

    // Every reply line read goes to Lines as well, until set to null (TReplyCapture).
    void SetCapture(std::vector<std::string> *Lines) { FCapture = Lines; }

private:
    TWorkerNotifier &FNotifier;
    std::atomic<bool> FAborted{false};
    std::atomic<bool> FQuitting{false};
    std::atomic<bool> FOpen{false};

    TSocket FControl;
    std::uint32_t FHostAddress = NoAddress;
    TReplyBuffer FReplyBuffer;
    int FCurrentType = UnknownType;
    int FReplyCode = 0;
    std::string FReplyLine;
    std::vector<std::string> *FCapture = nullptr;
    bool FBlocking = false;
    std::chrono::steady_clock::time_point FBlockingStart;
    // A wait of this connection ran out of time and the server has not answered since:
    // the clean-up steps that follow wait only briefly.
    bool FTimedOutBefore = false;
    int FLastError = 0;
};

// Collects every reply line read while it lives.
class TReplyCapture
{
public:
    explicit TReplyCapture(TControlConnection &Connection)
        : FConnection(Connection)
    {
        FConnection.SetCapture(&FLines);
    }
    ~TReplyCapture() { FConnection.SetCapture(nullptr); }
    TReplyCapture(const TReplyCapture &) = delete;
    TReplyCapture &operator=(const TReplyCapture &) = delete;

    const std::vector<std::string> &Lines() const { return FLines; }

private:
    TControlConnection &FConnection;
    std::vector<std::string> FLines;
};
