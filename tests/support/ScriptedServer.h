#pragma once

#include "tests/support/TestSockets.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// The steps a TScriptedServer plays, in order. Steps that read (Expect, ExpectAny,
// Answer, Passive, Active, Hang) record every command line received; a line that does
// not start as expected records a failure and the script goes on. A client that goes
// away while a step needs it, or a wait that times out, records a failure and ends the
// script.
class TServerScript
{
public:
    // Control connection.
    TServerScript &Send(std::string bytes);  // raw bytes, nothing added
    TServerScript &Reply(std::string text);  // text + CR LF; give several lines as "a\r\nb"
    TServerScript &Expect(std::string prefix); // reads one command line (CR LF or LF ended)
    TServerScript &ExpectAny() { return Expect({}); }
    TServerScript &Answer(std::string prefix, std::string reply) // Expect, then Reply
    {
        return Expect(std::move(prefix)).Reply(std::move(reply));
    }
    // Each Send or Reply goes out as its own TCP segment (TCP_NODELAY); a Pause between
    // two of them keeps the client from reading both in one go.
    TServerScript &Pause(std::chrono::milliseconds duration);
    // Waits for TScriptedServer::Release(), so a test can order the server's next step
    // after something of its own without a timing guess.
    TServerScript &Hold();
    TServerScript &Close(); // orderly close of the control connection
    TServerScript &Reset(); // the same with a TCP reset
    // Stops answering: reads (and records) until the client closes the connection or the
    // server is destroyed.
    TServerScript &Hang();
    // Bytes without a line end, chunk by chunk, until the client closes the connection
    // or limit bytes are out.
    TServerScript &SendEndless(std::size_t chunkBytes = 4096,
                               std::size_t limitBytes = 64 * 1024 * 1024);
    // Waits for the next control connection, which the following steps then use; the
    // previous one stays open until Close() or the end of the script.
    TServerScript &AcceptAnother();

    // Data connection. Passive reads the PASV command, opens a listener on 127.0.0.1 and
    // replies with replyTemplate, in which "{addr}" becomes "127,0,0,1" and "{port}" the
    // two port numbers "p1,p2": leave the brackets out or name another address to test
    // the client's reading of the reply.
    static constexpr const char *PassiveReply = "227 Entering Passive Mode ({addr},{port}).";
    TServerScript &Passive(std::string replyTemplate = PassiveReply);
    // Reads "PORT h1,h2,h3,h4,p1,p2" and replies; the next data step connects there.
    TServerScript &Active(std::string reply = "200 PORT command successful.");
    // The first data step after Passive accepts the client's connection (after Active,
    // connects to it).
    TServerScript &DataSend(std::string bytes);
    TServerScript &DataReceive(); // until the client closes; see DataReceived()
    // Reads the first `bytes` only (or less when the client closes first) and leaves the
    // connection open with the rest unread, for DataReset to cut an upload short.
    TServerScript &DataReceivePart(std::size_t bytes);
    TServerScript &DataClose();   // orderly close; DataSend part of a file first to cut it short
    TServerScript &DataReset();   // close with a TCP reset

    // What TScriptedServer plays.
    struct TStep
    {
        enum TKind {
            skSend,
            skExpect,
            skPause,
            skClose,
            skReset,
            skHang,
            skSendEndless,
            skAcceptAnother,
            skPassive,
            skActive,
            skDataSend,
            skDataReceive,
            skDataClose,
            skDataReset,
            skDataReceivePart,
            skHold,
        };
        TKind Kind;
        std::string Text;
        std::size_t Chunk = 0;
        std::size_t Limit = 0;
        std::chrono::milliseconds Duration{0};
    };
    const std::vector<TStep> &Steps() const { return FSteps; }

private:
    TServerScript &Add(TStep step);

    std::vector<TStep> FSteps;
};

// A small FTP server of our own for replies no real server gives: it listens on
// 127.0.0.1 on a free port, accepts the first control connection and plays the script
// on its own thread. At the end of the script it closes every connection and the
// listener. The destructor never waits for the client: it interrupts any step and
// joins the thread.
//
//     TScriptedServer server(TServerScript()
//                                .Reply("220-Welcome\r\n220 ready")
//                                .Answer("USER", "331 Password?")
//                                .Answer("PASS", "230 In.")
//                                .Passive()
//                                .Answer("LIST", "150 Here it comes")
//                                .DataSend("-rw-r--r-- 1 u g 5 Jan 02 2020 a.txt\r\n")
//                                .DataClose()
//                                .Reply("226 Done")
//                                .Hang());
//     // ... point the client at server.Host():server.Port(), run it ...
//     EXPECT_TRUE(server.WaitUntilDone(std::chrono::seconds(10)));
//     EXPECT_THAT(server.Failures(), testing::IsEmpty());
//     EXPECT_EQ(server.ReceivedCommands().at(0), "USER anonymous");
class TScriptedServer
{
public:
    // stepTimeout bounds each wait for the client (a connection, a command line, data).
    explicit TScriptedServer(TServerScript script,
                             std::chrono::milliseconds stepTimeout = std::chrono::seconds(30));
    ~TScriptedServer();
    TScriptedServer(const TScriptedServer &) = delete;
    TScriptedServer &operator=(const TScriptedServer &) = delete;

    std::string Host() const { return "127.0.0.1"; }
    std::uint16_t Port() const { return FPort; }

    // True once the script ran to its end; false when the timeout passed first or the
    // script ended early (see Failures()).
    bool WaitUntilDone(std::chrono::milliseconds timeout = std::chrono::seconds(30)) const;
    // Command lines received so far, without line ends, in order, over all connections.
    std::vector<std::string> ReceivedCommands() const;
    // One entry per DataReceive step that has ended.
    std::vector<std::string> DataReceived() const;
    // What went differently from the script; empty when all went as written.
    std::vector<std::string> Failures() const;
    int ControlConnections() const; // accepted so far
    // Lets a Hold step go on; one call per Hold, and a call before the Hold is kept.
    void Release();

private:
    enum class TWait { Ready, TimedOut, Stopped };

    void Run();
    bool Execute(std::size_t index, const TServerScript::TStep &step);
    TWait WaitFor(int fd, short events, bool bounded);
    bool Accept(TUniqueFd &listener, TUniqueFd &connection, std::string &why);
    bool ReadLine(std::string &line, bool bounded, std::string &why);
    bool Write(int fd, std::string_view bytes, std::string &why);
    bool OpenData(std::string &why);
    bool SendEndless(const TServerScript::TStep &step, std::string &why);
    // limit 0: until the client closes, then closes too.
    bool DataReceive(std::string &why, std::size_t limit = 0);
    void Record(std::string command);
    void Fail(std::string text);

    const TServerScript FScript;
    const std::chrono::milliseconds FStepTimeout;
    TUniqueFd FListener;
    TUniqueFd FWake; // eventfd: the destructor's signal to stop waiting
    TUniqueFd FRelease; // eventfd (semaphore): Release()'s signal to a Hold step
    std::uint16_t FPort = 0;

    // Owned by the script thread.
    TUniqueFd FControl;
    std::vector<TUniqueFd> FEarlierControls;
    std::string FControlBuffer;
    TUniqueFd FDataListener;
    TUniqueFd FData;
    std::string FActiveHost;
    std::uint16_t FActivePort = 0;

    mutable std::mutex FMutex;
    mutable std::condition_variable FEnded;
    std::vector<std::string> FCommands;
    std::vector<std::string> FDataReceived;
    std::vector<std::string> FFailures;
    int FControlConnections = 0;
    bool FFinished = false;  // the thread has ended
    bool FCompleted = false; // ... after the last step
    std::atomic<bool> FStopping{false};

    std::thread FThread; // last: starts once everything above exists
};
