#pragma once

// Reading and writing the texts of the protocol: the pieces of replies the engine
// looks into and the command texts it builds.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A number in the way the command parameters carry them: optional spaces and sign,
// then decimal digits and nothing else; Default otherwise.
std::int64_t TextToInt(std::string_view Text, std::int64_t Default);

// Without the characters up to and including the space at either end.
std::string_view TrimText(std::string_view Text);
// ASCII lower case.
std::string LowerText(std::string_view Text);

// The address and port a PASV reply names.
struct TPasvReply
{
    std::string Address; // "h1.h2.h3.h4" as the server wrote it
    int Port = 0;
};

// Parses the six numbers of a PASV reply. They start at the server's own address
// written with commas when HostAddress is known and the text holds it, else behind
// " (". The sixth number must be followed by some character. False when the text
// holds no six delimited numbers.
bool ParsePasvReply(std::string_view Text, std::uint32_t HostAddress, TPasvReply &Reply);

// The size a 150 reply announces for the file named LocalBaseName, as in
// "150 Opening BINARY mode data connection for big.bin (10000 bytes).".
bool ParseSizeFromReply(std::string_view Line, std::string_view LocalBaseName, std::int64_t &Size);

// The folder a 257 reply names between double quotes ("" stands for one quote);
// empty when the line holds no double quote.
std::string QuotedFolder(std::string_view Line);

// How a firewall is told the host: "host" when the port is 21, else "host:port".
std::string FirewallHostText(const std::string &Host, int Port);

// The letter TYPE sends for a transfer type: A, I, E or L (Auto and unknown types: I).
char TransferTypeLetter(int Type);

// "Transferred 10,000 bytes in 0.25 seconds (39.06KB/s)" in the user's locale.
std::string StatisticsLine(std::int64_t Bytes, double Seconds);

// The list as one line for the trace: items with spaces, commas or quotes quoted.
std::string CommaText(const std::vector<std::string> &Items);
