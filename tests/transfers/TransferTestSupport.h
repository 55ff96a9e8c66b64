#pragma once

// What the queue's tests share: the application object, a host and a view that record
// what the queue tells them, and a recorder of the queue's events.

#include "transfers/Transfer.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TestFiles.h"

#include <QFile>
#include <QStringList>

#include <algorithm>

#include <memory>
#include <string>
#include <vector>

inline bool RunToIdle(const TTransferItems &queue)
{
    return WaitUntil([&queue] { return queue.IsIdle(); });
}

class TRecordingHost : public TTransferHost
{
public:
    QStringList Titles;
    QStringList StatusTexts;
    QStringList Messages;
    bool TransferInfoChecked = false;
    int ProgressWindowShown = 0;
    int ActivityStarted = 0;

    void SetApplicationTitle(const QString &title) override { Titles << title; }
    void SetStatusText(const QString &text) override { StatusTexts << text; }
    bool ShowTransferInfo() const override { return TransferInfoChecked; }
    void ShowProgressWindow() override { ++ProgressWindowShown; }
    void StartActivity() override { ++ActivityStarted; }
    void ShowMessage(const QString &text) override { Messages << text; }
};

class TRecordingView : public TTransferView
{
public:
    struct TEntry
    {
        std::string Folder;
        std::string Name;
        std::uint32_t Attributes;
        std::int64_t Size;
        TDateTime Date;
    };
    std::vector<TEntry> Entries;

    void UpdateEntry(const std::string &folder, const std::string &name, std::uint32_t attributes,
                     std::int64_t size, TDateTime date) override
    {
        Entries.push_back({folder, name, attributes, size, date});
    }
};

// The queue's events as lines such as "started a.bin", "status a.bin 2", "error ...".
class TQueueRecorder
{
public:
    explicit TQueueRecorder(TTransferItems &queue)
    {
        Connections +=
            queue.OnItemAdded.Connect([this](TTransferItems &, TTransferItem &item) { Add("added", item); });
        Connections += queue.OnItemStarted.Connect(
            [this](TTransferItems &, TTransferItem &item) { Add("started", item); });
        Connections += queue.OnItemFinished.Connect([this](TTransferItems &, TTransferItem &item) {
            Add("finished", item);
            Finished.push_back(item.Name);
        });
        Connections += queue.OnItemStatusChanged.Connect([this](TTransferItems &, TTransferItem &item) {
            Events.push_back("status " + item.Name + " " + std::to_string(int(item.Status())));
        });
        Connections +=
            queue.OnItemProgress.Connect([this](TTransferItems &, TTransferItem &) { ++Progress; });
        Connections += queue.OnItemSizeChanged.Connect(
            [this](TTransferItems &, TTransferItem &item) { Add("size", item); });
        Connections += queue.OnError.Connect([this](TFTPComponent *, int code, const std::string &desc) {
            Errors.push_back(desc);
            Events.push_back("error " + std::to_string(code) + " " + desc);
        });
        Connections += queue.OnLog.Connect(
            [this](TFTPComponent *, const std::string &message, TColor) { Log.push_back(message); });
        Connections += queue.OnConnect.Connect([this](TFTPComponent *) { ++Connects; });
        Connections += queue.OnDisconnect.Connect([this](TFTPComponent *) { ++Disconnects; });
    }

    bool HasEvent(const std::string &line) const
    {
        return std::find(Events.begin(), Events.end(), line) != Events.end();
    }
    // Log lines of the engines that start with `prefix`, in order.
    std::vector<std::string> LogLines(const std::string &prefix) const
    {
        std::vector<std::string> lines;
        for (const std::string &line : Log) {
            if (line.rfind(prefix, 0) == 0)
                lines.push_back(line);
        }
        return lines;
    }

    std::vector<std::string> Events;
    std::vector<std::string> Finished;
    std::vector<std::string> Errors;
    std::vector<std::string> Log;
    int Progress = 0;
    int Connects = 0;
    int Disconnects = 0;

private:
    void Add(const char *what, const TTransferItem &item) { Events.push_back(std::string(what) + " " + item.Name); }

    TScopedConnections Connections;
};

struct TConnection
{
    std::string Host = "127.0.0.1";
    int Port = 21;
    std::string User = "user";
    std::string Password = "secret";
};

inline std::unique_ptr<TTransferItem> MakeItem(const TConnection &connection, TTransferDirection direction,
                                                const std::string &sourceFolder, const std::string &destFolder,
                                                const std::string &name, std::int64_t size = 0,
                                                std::int64_t restartOffset = 0)
{
    auto item = std::make_unique<TTransferItem>();
    item->Host = connection.Host;
    item->Port = connection.Port;
    item->UserName = connection.User;
    item->Password = connection.Password;
    item->Direction = direction;
    item->SourceFolder = sourceFolder;
    item->DestFolder = destFolder;
    item->Name = name;
    item->Size = size;
    item->RestartOffset = restartOffset;
    return item;
}

inline std::unique_ptr<TTransferItem> MakeFolderItem(const TConnection &connection, TTransferDirection direction,
                                                      const std::string &destFolder, const std::string &name)
{
    auto item = MakeItem(connection, direction, std::string(), destFolder, name);
    item->IsFolder = true;
    return item;
}
