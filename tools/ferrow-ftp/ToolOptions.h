#pragma once

// The command line of ferrow-ftp, read into plain values without touching the network.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

enum class TToolCommand { Ls, Get, Put, Mkdir, Rmdir, Rm, Mv, Chmod, Pwd, Cd, Parse };

// What anonymous logins send as the password when none is given.
inline constexpr const char *AnonymousPassword = "ferrow-ftp@";

// Exit codes, also listed in the usage text.
enum TToolExit : int {
    teSuccess = 0,
    teCommandFailed = 1,
    teUsage = 2,
    teCannotLogIn = 3,
};

struct TToolOptions
{
    std::string Host;
    int Port = 21;
    std::string User = "anonymous";
    std::string Password;
    std::string Account;
    bool Active = false;
    bool Ascii = false; // get and put in TYPE A: LF in the file, CR LF on the wire
    std::optional<int> TimeoutSeconds;
    std::optional<int> Retries;
    int ServerType = 0;
    bool Debug = false;

    TToolCommand Command = TToolCommand::Pwd;
    // The command's own arguments, in the order the usage text names them.
    std::vector<std::string> Arguments;
    std::optional<std::int64_t> Offset;
    // chmod: the mode as the engine's permission bits.
    std::uint32_t Attributes = 0;
};

struct TParsedArguments
{
    enum TAction { Run, ShowHelp, ShowVersion, Fail };
    TAction Action = Fail;
    TToolOptions Options;
    std::string Error; // for Fail
};

// Reads the arguments after the program name. Options may come before or after the
// positional arguments; "--" ends the options.
TParsedArguments ParseToolArguments(const std::vector<std::string> &Arguments);

// The permission bits of an octal mode such as "755"; nullopt for anything else
// (more than three digits other than a leading 0, digits 8 and 9, empty text).
std::optional<std::uint32_t> AttributesFromMode(const std::string &Mode);

std::string UsageText(const std::string &ProgramName);
