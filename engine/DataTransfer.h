#pragma once

// Data connections (passive and active) and the transfers of files over them.

#include "engine/FTPCommands.h"
#include "engine/Sockets.h"

#include <cstdint>
#include <functional>
#include <string>

class TControlConnection;
class TTransferStream;
class TWorkerHost;
class TWorkerNotifier;

// One transfer over a data connection.
struct TTransferRequest
{
    std::string Command; // RETR, STOR or LIST with its argument
    bool IsDownload = true;
    bool IsFile = true; // false for a listing, as its progress notes tell
    std::int64_t RestartOffset = 0;
    // Given for a file: lets the byte count be checked where the type keeps it.
    std::string RemoteName;
    // A download's local file, which the size the server announces is reported for.
    std::string LocalFileName;
};

// Work of our own done once while the server answers the data connection's command:
// making a local file costs about as much as that round trip.
class TWhileServerAnswers
{
public:
    TWhileServerAnswers() = default;
    explicit TWhileServerAnswers(std::function<bool()> Step)
        : FStep(std::move(Step))
    {}
    // Runs the step the first time; later calls give its outcome again.
    bool Run();

private:
    std::function<bool()> FStep;
    bool FRun = false;
    bool FOk = true;
};

class TDataTransfer
{
public:
    explicit TDataTransfer(TControlConnection &Connection);
    TDataTransfer(const TDataTransfer &) = delete;
    TDataTransfer &operator=(const TDataTransfer &) = delete;

    bool Run(const TDownloadCommand &Command);
    bool Run(const TUploadCommand &Command);
    bool Run(const TResumeDownloadCommand &Command);
    bool Run(const TResumeUploadCommand &Command);

    // Opens the data connection, sends the command and moves the data through Stream.
    // Prepare readies Stream while the server answers; when it fails (it reports why
    // itself), the transfer command is never sent.
    bool RunTransfer(const TTransferRequest &Request, TTransferStream &Stream,
                     TWhileServerAnswers Prepare = {});

private:
    struct TTransferResult
    {
        std::int64_t Bytes = 0;
        bool Failed = false;
    };

    bool Download(const std::string &LocalName, const std::string &RemoteName, std::int64_t Offset);
    bool Upload(const std::string &LocalName, const std::string &RemoteName, std::int64_t Offset);
    // The offset a resume may use: 0 where the server or the transfer type cannot restart.
    std::int64_t RestartOffset(std::int64_t Requested);
    bool RefuseLineBreak(const std::string &RemoteName);
    // False, with the mismatch logged, when SIZE names another size than Sent.
    bool RemoteSizeMatches(const std::string &RemoteName, std::int64_t Sent);
    // After an upload's last byte: false when the connection does not end cleanly.
    bool EndUpload();
    bool OpenPassive(TWhileServerAnswers &Prepare);
    bool OpenActive(TWhileServerAnswers &Prepare);
    // Sends a data connection's command and reads the reply, Prepare running between.
    int AskForDataConnection(const std::string &Command, TWhileServerAnswers &Prepare);
    bool AcceptData();
    TTransferResult TransferData(TTransferStream &Stream, const TTransferRequest &Request);
    void DataError();

    TControlConnection &FConnection;
    TWorkerNotifier &FNotifier;
    TWorkerHost &FHost;
    TSocket FData;
};
