#pragma once

// One run of a network command: logs in, queues the command and the logout behind it,
// prints every notification, and ends the application's event loop with the exit code
// once the engine has said its last word.

#include "engine/FTPComp.h"
#include "tools/ferrow-ftp/ToolNotes.h"
#include "tools/ferrow-ftp/ToolOptions.h"

#include <string>
#include <vector>

// Writes the engine-wide settings the options name (time-out, retries, trace).
void ApplyEngineSettings(const TToolOptions &Options);

class TToolSession
{
public:
    explicit TToolSession(const TToolOptions &Options);
    TToolSession(const TToolSession &) = delete;
    TToolSession &operator=(const TToolSession &) = delete;

    void Start();

private:
    void AttachHandlers();
    void Record(TNote Note);
    void QueueCommand();
    void BeginFinish();
    void Finish();
    int ExitCode() const;
    void PrintResults() const;

    const TToolOptions FOptions;
    TFTPComponent FEngine;
    TScopedConnections FEngineConnections;
    bool FLoggedIn = false;
    bool FCommandQueued = false;
    bool FQuitSent = false;
    bool FFinishing = false;
    // What the command raised, from its queuing up to the logout's QUIT.
    std::vector<TNote> FCommandNotes;
    TDirListing FListing;
    std::string FCurrentFolder;
};
