#pragma once

#include "tests/support/TestSockets.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

// A bare FTP client over a plain socket, for checking test servers without the
// engine: one command, one reply. Every wait ends after Timeout(); a failed wait
// returns an empty reply, which tests then report.
//
//     TRawFtpClient client;
//     ASSERT_TRUE(client.Connect(server.Host(), server.Port()));
//     EXPECT_EQ(TRawFtpClient::Code(client.ReadReply()), 220);
//     EXPECT_EQ(TRawFtpClient::Code(client.LogIn(server.User(), server.Password())), 230);
//     const std::optional<std::string> listing = client.Fetch("LIST");
class TRawFtpClient
{
public:
    explicit TRawFtpClient(std::chrono::milliseconds timeout = std::chrono::seconds(30))
        : FTimeout(timeout) {}

    bool Connect(const std::string &host, std::uint16_t port);
    bool IsConnected() const { return FControl.IsValid(); }
    void Close() { FControl.Reset(); }
    const std::string &LastError() const { return FLastError; }
    std::chrono::milliseconds Timeout() const { return FTimeout; }

    // One whole reply, multi-line replies included; lines are joined with "\n" and the
    // line ends removed. Empty when the connection ended or time ran out first.
    std::string ReadReply();
    // Sends the line with CR LF added.
    bool SendLine(const std::string &line);
    // SendLine, then ReadReply.
    std::string Command(const std::string &line);
    // USER then PASS (PASS only after a 331); the last reply.
    std::string LogIn(const std::string &user, const std::string &password);

    // PASV and a connection to the port it names (the control peer's address), then
    // the command; returns the received data and leaves the final reply in
    // LastReply(). Nothing, and LastError() set, when any step fails.
    std::optional<std::string> Fetch(const std::string &command);
    // The same for uploads: sends the data, closes, reads the final reply.
    bool Store(const std::string &command, const std::string &data);
    const std::string &LastReply() const { return FLastReply; }

    // The three-digit code of a reply; 0 for anything else.
    static int Code(const std::string &reply);

private:
    bool ReadLine(std::string &line);
    TUniqueFd OpenPassiveData();
    bool Fail(std::string text);

    const std::chrono::milliseconds FTimeout;
    std::string FHost;
    TUniqueFd FControl;
    std::string FBuffer;
    std::string FLastReply;
    std::string FLastError;
};
