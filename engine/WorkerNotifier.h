#pragma once

// The worker's side of the notifications: each writes its trace line, then queues the
// notification for the owner's thread. Owners are woken in batches, since each wake-up
// costs a switch of threads.

#include "engine/FTPComp.h"

#include <cstdint>
#include <string>

struct TNotification;
class TWorkerHost;

class TWorkerNotifier
{
public:
    explicit TWorkerNotifier(TWorkerHost &Host)
        : FHost(Host)
    {}
    TWorkerNotifier(const TWorkerNotifier &) = delete;
    TWorkerNotifier &operator=(const TWorkerNotifier &) = delete;

    TWorkerHost &Host() { return FHost; }
    void TraceHost(const char *Format, ...) __attribute__((format(printf, 2, 3)));

    // Wakes the owner for the notes queued since the last wake-up, if any.
    void WakeOwner();
    // Notes wait for a wake-up.
    bool WakePending() const { return FWakePending; }

    // While quiet, log lines go to the trace only.
    bool Quiet() const { return FQuiet; }
    void SetQuiet(bool Value) { FQuiet = Value; }

    void NotifyAbort();
    void NotifyCantLogIn();
    void NotifyConnect();
    // Only the note: the connection closes its sockets first.
    void NotifyDisconnect();
    void NotifyError(int Code, const std::string &Desc);
    void NotifyFolderReply(const std::string &Folder, int ReplyType, bool Result);
    void Log(const std::string &Message, TColor Color);
    void NotifyLoggedIn();
    void NotifyIdle();
    // A ticketed group begins, or is dropped without a word to the server.
    void NotifyCommandBegun(std::uint64_t Ticket);
    void NotifyCommandDropped(std::uint64_t Ticket);
    void NotifyProgress(int Phase, bool IsFile, std::int64_t Bytes);
    void NotifyProcessList(const std::string &Folder, TDirListing List);
    void NotifyRenameSuccessful(const std::string &OldName, const std::string &NewName);
    void NotifyUpdateFileSize(const std::string &FileName, std::int64_t NewSize);

private:
    void Post(TNotification Note);

    TWorkerHost &FHost;
    bool FWakePending = false;
    bool FQuiet = false;
};

// Keeps the log quiet for the lifetime of a scope, so an exception cannot leave it so.
class TQuietScope
{
public:
    explicit TQuietScope(TWorkerNotifier &Notifier)
        : FNotifier(Notifier)
    {
        FNotifier.SetQuiet(true);
    }
    ~TQuietScope() { FNotifier.SetQuiet(false); }
    TQuietScope(const TQuietScope &) = delete;
    TQuietScope &operator=(const TQuietScope &) = delete;

private:
    TWorkerNotifier &FNotifier;
};
