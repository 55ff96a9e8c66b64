#include "tools/ferrow-ftp/ToolOptions.h"

#include "engine/FTPTypes.h"
#include "engine/ServerTypes.h"

#include <array>
#include <charconv>
#include <limits>

namespace {

struct TCommandSyntax
{
    const char *Name;
    TToolCommand Command;
    std::size_t MinArguments;
    std::size_t MaxArguments;
    const char *Arguments; // for messages
};

constexpr std::array<TCommandSyntax, 11> Commands{{
    {"ls", TToolCommand::Ls, 0, 1, "[FOLDER]"},
    {"get", TToolCommand::Get, 2, 2, "REMOTE LOCAL"},
    {"put", TToolCommand::Put, 2, 2, "LOCAL REMOTE"},
    {"mkdir", TToolCommand::Mkdir, 1, 1, "FOLDER"},
    {"rmdir", TToolCommand::Rmdir, 1, 1, "FOLDER"},
    {"rm", TToolCommand::Rm, 1, 1, "NAME"},
    {"mv", TToolCommand::Mv, 2, 2, "OLD NEW"},
    {"chmod", TToolCommand::Chmod, 2, 2, "MODE NAME"},
    {"pwd", TToolCommand::Pwd, 0, 0, ""},
    {"cd", TToolCommand::Cd, 1, 1, "FOLDER"},
    {"parse", TToolCommand::Parse, 0, 1, "[FILE]"},
}};

const TCommandSyntax *FindCommand(const std::string &Name)
{
    for (const TCommandSyntax &syntax : Commands)
        if (Name == syntax.Name)
            return &syntax;
    return nullptr;
}

std::optional<std::int64_t> ParseInteger(const std::string &Text, std::int64_t Min, std::int64_t Max)
{
    std::int64_t value = 0;
    const char *end = Text.data() + Text.size();
    const auto [rest, error] = std::from_chars(Text.data(), end, value);
    if (Text.empty() || error != std::errc() || rest != end || value < Min || value > Max)
        return std::nullopt;
    return value;
}

TParsedArguments Failure(std::string Message)
{
    TParsedArguments result;
    result.Action = TParsedArguments::Fail;
    result.Error = std::move(Message);
    return result;
}

// Applies one option; returns an error message, empty when it was fine.
std::string ApplyOption(const std::string &Name, const std::string &Value, TToolOptions &Options)
{
    const auto number = [&](std::int64_t Min, std::int64_t Max) -> std::optional<std::int64_t> {
        return ParseInteger(Value, Min, Max);
    };
    const auto invalid = [&](const std::string &Expected) {
        return "invalid value \"" + Value + "\" for --" + Name + ": expected " + Expected;
    };
    if (Name == "port") {
        const auto port = number(1, 65535);
        if (!port)
            return invalid("a port number from 1 to 65535");
        Options.Port = int(*port);
    } else if (Name == "user") {
        Options.User = Value;
    } else if (Name == "password") {
        Options.Password = Value;
    } else if (Name == "account") {
        Options.Account = Value;
    } else if (Name == "timeout") {
        const auto seconds = number(1, std::numeric_limits<int>::max() / 1000);
        if (!seconds)
            return invalid("a number of seconds from 1");
        Options.TimeoutSeconds = int(*seconds);
    } else if (Name == "retries") {
        const auto retries = number(0, 1000);
        if (!retries)
            return invalid("a count from 0 (attempt without end) to 1000");
        Options.Retries = int(*retries);
    } else if (Name == "server-type") {
        const auto type = number(0, ServerTypeCount - 1);
        if (!type)
            return invalid("a server type from 0 to " + std::to_string(ServerTypeCount - 1));
        Options.ServerType = int(*type);
    } else if (Name == "offset") {
        const auto offset = number(0, std::numeric_limits<std::int64_t>::max());
        if (!offset)
            return invalid("a byte offset from 0");
        Options.Offset = *offset;
    } else {
        return "unknown option --" + Name;
    }
    return {};
}

bool IsFlag(const std::string &Name)
{
    return Name == "active" || Name == "ascii" || Name == "debug";
}

void ApplyFlag(const std::string &Name, TToolOptions &Options)
{
    if (Name == "active")
        Options.Active = true;
    else if (Name == "ascii")
        Options.Ascii = true;
    else
        Options.Debug = true;
}

// The options' own rules once the command is known.
std::string CheckCommandOptions(const TCommandSyntax &Syntax, bool ServerTypeGiven, TToolOptions &Options)
{
    if (Options.Offset && Options.Command != TToolCommand::Get && Options.Command != TToolCommand::Put)
        return std::string("--offset applies to get and put only, not to ") + Syntax.Name;
    if (Options.Ascii && Options.Command != TToolCommand::Get && Options.Command != TToolCommand::Put)
        return std::string("--ascii applies to get and put only, not to ") + Syntax.Name;
    if (Options.Command == TToolCommand::Chmod) {
        const auto attributes = AttributesFromMode(Options.Arguments[0]);
        if (!attributes)
            return "invalid mode \"" + Options.Arguments[0] + "\": expected octal digits such as 644";
        Options.Attributes = *attributes;
    }
    if (Options.Command == TToolCommand::Parse) {
        if (!ServerTypeGiven)
            Options.ServerType = stUnixStandard;
        if (ServerTypeParser(Options.ServerType) == TListParser::None)
            return "server type " + std::to_string(Options.ServerType) + " (" +
                   ServerTypeName(Options.ServerType) + ") has no listing parser";
    }
    return {};
}

} // namespace

std::optional<std::uint32_t> AttributesFromMode(const std::string &Mode)
{
    std::string digits = Mode;
    if (digits.size() == 4 && digits.front() == '0')
        digits.erase(0, 1);
    if (digits.empty() || digits.size() > 3)
        return std::nullopt;
    unsigned mode = 0;
    for (const char c : digits) {
        if (c < '0' || c > '7')
            return std::nullopt;
        mode = mode * 8 + unsigned(c - '0');
    }
    // The engine's bit for each bit of the octal mode, from 0001 (others may execute).
    static constexpr std::uint32_t Bits[9] = {faOtherExecute, faOtherWrite, faOtherRead,
                                              faGroupExecute, faGroupWrite, faGroupRead,
                                              faOwnerExecute, faOwnerWrite, faOwnerRead};
    std::uint32_t attributes = 0;
    for (int bit = 0; bit < 9; ++bit)
        if (mode & (1u << bit))
            attributes |= Bits[bit];
    return attributes;
}

TParsedArguments ParseToolArguments(const std::vector<std::string> &Arguments)
{
    TToolOptions options;
    std::vector<std::string> positional;
    bool serverTypeGiven = false;
    bool optionsEnded = false;

    for (std::size_t i = 0; i < Arguments.size(); ++i) {
        const std::string &argument = Arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            positional.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            continue;
        }
        if (argument == "-h" || argument == "--help") {
            TParsedArguments help;
            help.Action = TParsedArguments::ShowHelp;
            return help;
        }
        if (argument == "--version") {
            TParsedArguments version;
            version.Action = TParsedArguments::ShowVersion;
            return version;
        }
        if (argument.compare(0, 2, "--") != 0)
            return Failure("unknown option " + argument);

        std::string name = argument.substr(2);
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
        }
        if (IsFlag(name)) {
            if (value)
                return Failure("--" + name + " takes no value");
            ApplyFlag(name, options);
            continue;
        }
        if (!value) {
            if (i + 1 >= Arguments.size())
                return Failure("--" + name + " needs a value");
            value = Arguments[++i];
        }
        if (const std::string error = ApplyOption(name, *value, options); !error.empty())
            return Failure(error);
        serverTypeGiven = serverTypeGiven || name == "server-type";
    }

    // "parse" needs no host; every other command comes after one.
    std::size_t next = 0;
    if (positional.empty())
        return Failure("missing HOST and COMMAND");
    if (positional[0] != "parse") {
        options.Host = positional[next++];
        if (options.Host.empty())
            return Failure("empty HOST");
        if (next >= positional.size())
            return Failure("missing COMMAND after " + options.Host);
    }
    const TCommandSyntax *syntax = FindCommand(positional[next]);
    if (!syntax)
        return Failure("unknown command \"" + positional[next] + "\"");
    options.Command = syntax->Command;
    options.Arguments.assign(positional.begin() + std::ptrdiff_t(next) + 1, positional.end());
    if (options.Arguments.size() < syntax->MinArguments || options.Arguments.size() > syntax->MaxArguments)
        return Failure(std::string("usage: ") + syntax->Name + (*syntax->Arguments ? " " : "") + syntax->Arguments);
    if (const std::string error = CheckCommandOptions(*syntax, serverTypeGiven, options); !error.empty())
        return Failure(error);
    if (options.Password.empty() && (options.User == "anonymous" || options.User == "ftp"))
        options.Password = AnonymousPassword;

    TParsedArguments result;
    result.Action = TParsedArguments::Run;
    result.Options = std::move(options);
    return result;
}

std::string UsageText(const std::string &ProgramName)
{
    return "Usage: " + ProgramName + " [OPTIONS] HOST COMMAND [ARGS...]\n"
           "       " + ProgramName + " parse [--server-type N] [FILE]\n"
           "\n"
           "Runs one FTP command through Ferrow's engine: logs in, runs it, logs out.\n"
           "Every notification of the engine is printed on standard error, one line each;\n"
           "standard output carries only the results (ls and parse entries, pwd and cd folders).\n"
           "\n"
           "Commands:\n"
           "  ls [FOLDER]                  list FOLDER (default: the login folder)\n"
           "  get REMOTE LOCAL [--offset N]  download; with N > 0, resume at byte N\n"
           "  put LOCAL REMOTE [--offset N]  upload; with N > 0, resume at byte N\n"
           "  mkdir FOLDER | rmdir FOLDER | rm NAME | mv OLD NEW\n"
           "  chmod MODE NAME              MODE in octal, e.g. 644\n"
           "  pwd                          print the login folder\n"
           "  cd FOLDER                    change to FOLDER and print the folder reached\n"
           "  parse [FILE]                 parse raw LIST output from FILE or standard input\n"
           "                               (no connection; --server-type defaults to 11)\n"
           "\n"
           "Entries print as NAME<TAB>ATTRIBUTES<TAB>SIZE<TAB>YYYY-MM-DD HH:MM.\n"
           "\n"
           "Options:\n"
           "  --port N          server port (default 21)\n"
           "  --user U          user name (default anonymous)\n"
           "  --password P      password (anonymous: " + std::string(AnonymousPassword) + ")\n"
           "  --account A       account for ACCT\n"
           "  --active          active data connections (PORT); passive (PASV) by default\n"
           "  --ascii           get and put as text (TYPE A): LF line ends in the local file,\n"
           "                    CR LF on the wire, never resumed at an offset\n"
           "  --timeout S       cancel a network wait after S seconds (default 120)\n"
           "  --retries N       connection attempts, 0 = without end (default 1)\n"
           "  --server-type N   server type from the engine's table (default 0, detect)\n"
           "  --debug           write the engine's debug trace (Debug.txt in the program folder)\n"
           "  -h, --help        show this text\n"
           "  --version         show the version\n"
           "\n"
           "Exit status: 0 success, 1 the command failed, 2 bad arguments,\n"
           "3 could not connect or log in.\n";
}
