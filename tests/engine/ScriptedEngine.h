#pragma once

// An engine logged in to a scripted server: the login dialogue the scripts start with.

#include "tests/engine/EngineTestSupport.h"
#include "tests/support/ScriptedServer.h"

#include <QTemporaryDir>

#include <algorithm>

// Welcome, USER, PASS, SYST and the restart probe in binary mode, as a plain Unix server answers them.
inline TServerScript LoggedInScript(const std::string &Rest100Reply = "350 Restarting at 100")
{
    TServerScript script;
    script.Reply("220 Scripted server ready")
        .Answer("USER joe", "331 Password required for joe")
        .Answer("PASS secret", "230 User joe logged in")
        .Answer("SYST", "215 UNIX Type: L8")
        .Answer("TYPE I", "200 Switching to Binary mode.")
        .Answer("REST 100", Rest100Reply)
        .Answer("REST 0", Rest100Reply.substr(0, 3) + " Restarting at 0");
    return script;
}

inline void StartLogin(TFTPComponent &Engine, const TScriptedServer &Server, const std::string &User = "joe")
{
    Engine.SetHost(Server.Host());
    Engine.SetPort(Server.Port());
    Engine.SetUserName(User);
    Engine.SetPassword("secret");
    Engine.SetAccount("acct");
    Engine.Login();
}

// The commands the server received after the login dialogue of LoggedInScript.
inline std::vector<std::string> CommandsAfterLogin(const TScriptedServer &Server)
{
    std::vector<std::string> commands = Server.ReceivedCommands();
    commands.erase(commands.begin(), commands.begin() + std::min<std::size_t>(6, commands.size()));
    return commands;
}

inline bool Received(const TScriptedServer &Server, const std::string &Command)
{
    const std::vector<std::string> commands = Server.ReceivedCommands();
    return std::find(commands.begin(), commands.end(), Command) != commands.end();
}

inline bool WaitForCommand(const TScriptedServer &Server, const std::string &Command,
                           std::chrono::milliseconds Timeout = WaitLimit)
{
    return WaitUntil([&] { return Received(Server, Command); }, Timeout);
}

// A scripted server with an engine logged in to it, and a temporary folder for local
// files. The engine goes before the server.
class EngineScriptedBase : public EngineTestBase
{
protected:
    void LogIn(TServerScript Script)
    {
        FServer = std::make_unique<TScriptedServer>(std::move(Script), std::chrono::seconds(20));
        FEngine = std::make_unique<TFTPComponent>();
        FRecorder = std::make_unique<TEngineRecorder>(*FEngine);
        StartLogin(*FEngine, *FServer);
        ASSERT_TRUE(FRecorder->WaitFor("LoggedIn")) << testing::PrintToString(FRecorder->Outline());
        FRecorder->Clear();
    }
    void TearDown() override
    {
        FRecorder.reset();
        FEngine.reset();
        FServer.reset();
        EngineTestBase::TearDown();
    }
    TFTPComponent &Engine() { return *FEngine; }
    TEngineRecorder &Recorder() { return *FRecorder; }
    TScriptedServer &Server() { return *FServer; }
    QString LocalPath(const QString &Name) const { return FFolder.filePath(Name); }

    std::unique_ptr<TScriptedServer> FServer;
    std::unique_ptr<TFTPComponent> FEngine;
    std::unique_ptr<TEngineRecorder> FRecorder;
    QTemporaryDir FFolder;
};
