#pragma once

// What the engine tests share: the application object, a recorder of every
// notification an engine delivers, and waiting for them with the owner's events
// processed.

#include "engine/FTPComp.h"
#include "tests/support/EventLoop.h"

#include <gtest/gtest.h>

#include <QThread>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct TRecordedEvent
{
    explicit TRecordedEvent(std::string AKind, std::string AText = {}, std::string AText2 = {})
        : Kind(std::move(AKind)), Text(std::move(AText)), Text2(std::move(AText2))
    {
    }

    std::string Kind; // "Abort", "Log", "Error", ...
    std::string Text; // Desc, message, folder, old name, file name
    std::string Text2; // new name
    std::int64_t Number = 0; // code, reply type, phase, bytes, new size
    bool Flag = false; // result, IsFile
    TColor Color = 0;
    TDirListing List;
    bool OnOwnerThread = false;
};

// Attaches a handler to every notification of the engine and records them in order.
class TEngineRecorder
{
public:
    explicit TEngineRecorder(TFTPComponent &Engine)
    {
        const auto simple = [this](const char *kind) {
            return [this, kind](TFTPComponent *) { Add(TRecordedEvent(kind)); };
        };
        Connections += Engine.OnAbort.Connect(simple("Abort"));
        Connections += Engine.OnCantLogIn.Connect(simple("CantLogIn"));
        Connections += Engine.OnConnect.Connect(simple("Connect"));
        Connections += Engine.OnDisconnect.Connect(simple("Disconnect"));
        Connections += Engine.OnLoggedIn.Connect(simple("LoggedIn"));
        Connections += Engine.OnError.Connect([this](TFTPComponent *, int code, const std::string &desc) {
            TRecordedEvent e("Error", desc);
            e.Number = code;
            Add(std::move(e));
        });
        Connections += Engine.OnFolderReply.Connect(
            [this](TFTPComponent *, const std::string &folder, int type, bool result) {
                TRecordedEvent e("FolderReply", folder);
                e.Number = type;
                e.Flag = result;
                Add(std::move(e));
            });
        Connections +=
            Engine.OnLog.Connect([this](TFTPComponent *, const std::string &message, TColor color) {
                TRecordedEvent e("Log", message);
                e.Color = color;
                Add(std::move(e));
            });
        Connections +=
            Engine.OnProgress.Connect([this](TFTPComponent *, int phase, bool isFile, std::int64_t bytes) {
                TRecordedEvent e("Progress", std::to_string(phase));
                e.Number = bytes;
                e.Flag = isFile;
                Add(std::move(e));
            });
        Connections += Engine.OnProcessList.Connect(
            [this](TFTPComponent *, const std::string &folder, TDirListing &list) {
                TRecordedEvent e("ProcessList", folder);
                e.List = std::move(list);
                Add(std::move(e));
            });
        Connections += Engine.OnRenameSuccessful.Connect(
            [this](TFTPComponent *, const std::string &oldName, const std::string &newName) {
                Add(TRecordedEvent("RenameSuccessful", oldName, newName));
            });
        Connections +=
            Engine.OnUpdateFileSize.Connect([this](TFTPComponent *, const QString &file, std::int64_t size) {
                TRecordedEvent e("UpdateFileSize", file.toStdString());
                e.Number = size;
                Add(std::move(e));
            });
    }

    std::vector<TRecordedEvent> Events;

    int Count(const std::string &Kind) const
    {
        return int(std::count_if(Events.begin(), Events.end(), [&](const TRecordedEvent &e) { return e.Kind == Kind; }));
    }
    bool WaitFor(const std::string &Kind, int Times = 1, std::chrono::milliseconds Timeout = WaitLimit)
    {
        return WaitUntil([&] { return Count(Kind) >= Times; }, Timeout);
    }
    // The events of one kind, in order.
    std::vector<TRecordedEvent> Of(const std::string &Kind) const
    {
        std::vector<TRecordedEvent> found;
        for (const TRecordedEvent &e : Events)
            if (e.Kind == Kind)
                found.push_back(e);
        return found;
    }
    std::vector<std::string> Logs() const
    {
        std::vector<std::string> texts;
        for (const TRecordedEvent &e : Of("Log"))
            texts.push_back(e.Text);
        return texts;
    }
    bool HasLog(const std::string &Text) const
    {
        const std::vector<std::string> logs = Logs();
        return std::find(logs.begin(), logs.end(), Text) != logs.end();
    }
    bool HasLogContaining(const std::string &Part) const
    {
        for (const std::string &text : Logs())
            if (text.find(Part) != std::string::npos)
                return true;
        return false;
    }
    // Kinds in order, without the Log and Progress notifications.
    std::vector<std::string> Outline() const
    {
        std::vector<std::string> kinds;
        for (const TRecordedEvent &e : Events)
            if (e.Kind != "Log" && e.Kind != "Progress")
                kinds.push_back(e.Kind == "Error" ? "Error " + std::to_string(e.Number) : e.Kind);
        return kinds;
    }
    bool AllOnOwnerThread() const
    {
        return std::all_of(Events.begin(), Events.end(), [](const TRecordedEvent &e) { return e.OnOwnerThread; });
    }
    void Clear() { Events.clear(); }

private:
    void Add(TRecordedEvent Event)
    {
        Event.OnOwnerThread = QThread::currentThread() == TestApp().thread();
        Events.push_back(std::move(Event));
    }

    TScopedConnections Connections;
};

// Short waits and no retry pauses, so failures end quickly; restored afterwards.
class EngineTestBase : public testing::Test
{
protected:
    void SetUp() override
    {
        TestApp();
        FSaved = {TFTPComponent::TimeoutMS, TFTPComponent::RetryCount, TFTPComponent::RetryDelaySeconds,
                  TFTPComponent::KeepAlive};
        TFTPComponent::TimeoutMS = 10000;
        TFTPComponent::RetryCount = 1;
        TFTPComponent::RetryDelaySeconds = 0;
    }
    void TearDown() override
    {
        TFTPComponent::TimeoutMS = FSaved.TimeoutMS;
        TFTPComponent::RetryCount = FSaved.RetryCount;
        TFTPComponent::RetryDelaySeconds = FSaved.RetryDelaySeconds;
        TFTPComponent::KeepAlive = FSaved.KeepAlive;
    }

private:
    struct
    {
        int TimeoutMS;
        int RetryCount;
        int RetryDelaySeconds;
        bool KeepAlive;
    } FSaved{};
};
