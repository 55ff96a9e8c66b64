#include "engine/FTPCommands.h"

namespace {

constexpr const char *CommandNames[FTPCommandCount] = {
    "None",   "FirewallLogin", "Login",        "Logout",         "GetCurrentFolder", "SetCurrentFolder",
    "List",   "Download",      "Upload",       "ResumeDownload", "ResumeUpload",     "Delete",
    "Rename", "CreateFolder",  "RemoveFolder", "NoOp",           "SetType",          "ChangeAttributes",
};

} // namespace

const char *FTPCommandName(int Kind)
{
    return Kind >= 0 && Kind < FTPCommandCount ? CommandNames[Kind] : "Unknown";
}

TFTPCommand CommandKind(const TEngineCommand &Command)
{
    return std::visit([](const auto &command) { return command.Kind; }, Command);
}

std::string ModeText(std::uint32_t Attributes)
{
    static constexpr struct
    {
        std::uint32_t Bit;
        int Value;
    } Weights[] = {
        {faOwnerRead, 400}, {faOwnerWrite, 200}, {faOwnerExecute, 100},
        {faGroupRead, 40},  {faGroupWrite, 20},  {faGroupExecute, 10},
        {faOtherRead, 4},   {faOtherWrite, 2},   {faOtherExecute, 1},
    };
    int mode = 0;
    for (const auto &weight : Weights)
        if (Attributes & weight.Bit)
            mode += weight.Value;
    return std::to_string(mode);
}

std::vector<std::string> TraceArguments(const TEngineCommand &Command)
{
    using std::to_string;
    return std::visit(
        TOverloaded{
            [](const TFirewallLoginCommand &c) -> std::vector<std::string> {
                return {c.FirewallHost,
                        to_string(c.FirewallPort),
                        to_string(c.FirewallType),
                        c.FirewallUser,
                        c.FirewallPassword,
                        c.Host,
                        to_string(c.Port),
                        c.User,
                        c.Password,
                        c.Account};
            },
            [](const TLoginCommand &c) -> std::vector<std::string> {
                return {c.Host, to_string(c.Port), c.User, c.Password, c.Account};
            },
            [](const TSetCurrentFolderCommand &c) -> std::vector<std::string> { return {c.Folder}; },
            [](const TListCommand &c) -> std::vector<std::string> {
                return {c.Folder, c.Mask};
            },
            [](const TDownloadCommand &c) -> std::vector<std::string> {
                return {c.LocalName, c.RemoteName};
            },
            [](const TUploadCommand &c) -> std::vector<std::string> {
                return {c.LocalName, c.RemoteName};
            },
            [](const TResumeDownloadCommand &c) -> std::vector<std::string> {
                return {c.LocalName, c.RemoteName, to_string(c.Offset)};
            },
            [](const TResumeUploadCommand &c) -> std::vector<std::string> {
                return {c.LocalName, c.RemoteName, to_string(c.Offset)};
            },
            [](const TDeleteCommand &c) -> std::vector<std::string> { return {c.Name}; },
            [](const TRenameCommand &c) -> std::vector<std::string> {
                return {c.OldName, c.NewName};
            },
            [](const TCreateFolderCommand &c) -> std::vector<std::string> { return {c.Name}; },
            [](const TRemoveFolderCommand &c) -> std::vector<std::string> { return {c.Name}; },
            [](const TSetTypeCommand &c) -> std::vector<std::string> { return {to_string(int(c.Type))}; },
            [](const TChangeAttributesCommand &c) -> std::vector<std::string> {
                return {ModeText(c.Attributes), c.Name};
            },
            [](const auto &) -> std::vector<std::string> { return {}; },
        },
        Command);
}
