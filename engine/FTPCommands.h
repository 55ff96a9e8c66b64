#pragma once

// The commands an engine queues for its worker: one struct of typed arguments per
// command kind, and the variant of them that the queue carries.

#include "engine/FTPTypes.h"
#include "engine/LogonGate.h"

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// The command kinds of the queue; their names (FTPCommandName) appear in the trace.
enum TFTPCommand : std::uint8_t {
    fcNone = 0,
    fcFirewallLogin = 1,
    fcLogin = 2,
    fcLogout = 3,
    fcGetCurrentFolder = 4,
    fcSetCurrentFolder = 5,
    fcList = 6,
    fcDownload = 7,
    fcUpload = 8,
    fcResumeDownload = 9,
    fcResumeUpload = 10,
    fcDelete = 11,
    fcRename = 12,
    fcCreateFolder = 13,
    fcRemoveFolder = 14,
    fcNoOp = 15,
    fcSetType = 16,
    fcChangeAttributes = 17,
};
constexpr int FTPCommandCount = 18;

// "None", "FirewallLogin", ... ; "Unknown" outside the table.
const char *FTPCommandName(int Kind);

struct TFirewallLoginCommand
{
    static constexpr TFTPCommand Kind = fcFirewallLogin;
    std::string FirewallHost;
    int FirewallPort = 21;
    int FirewallType = 0; // 0..3
    std::string FirewallUser;
    std::string FirewallPassword;
    std::string Host;
    int Port = 21;
    std::string User;
    std::string Password;
    std::string Account;
    TLogonOrder Order;
};

struct TLoginCommand
{
    static constexpr TFTPCommand Kind = fcLogin;
    std::string Host;
    int Port = 21;
    std::string User;
    std::string Password;
    std::string Account;
    TLogonOrder Order;
};

struct TLogoutCommand
{
    static constexpr TFTPCommand Kind = fcLogout;
};

struct TGetCurrentFolderCommand
{
    static constexpr TFTPCommand Kind = fcGetCurrentFolder;
};

struct TSetCurrentFolderCommand
{
    static constexpr TFTPCommand Kind = fcSetCurrentFolder;
    std::string Folder;
};

struct TListCommand
{
    static constexpr TFTPCommand Kind = fcList;
    std::string Folder; // only handed back with the listing
    std::string Mask;
};

// Local names are the file system's bytes.
struct TDownloadCommand
{
    static constexpr TFTPCommand Kind = fcDownload;
    std::string LocalName;
    std::string RemoteName;
};

struct TUploadCommand
{
    static constexpr TFTPCommand Kind = fcUpload;
    std::string LocalName;
    std::string RemoteName;
};

struct TResumeDownloadCommand
{
    static constexpr TFTPCommand Kind = fcResumeDownload;
    std::string LocalName;
    std::string RemoteName;
    std::int64_t Offset = 0;
};

struct TResumeUploadCommand
{
    static constexpr TFTPCommand Kind = fcResumeUpload;
    std::string LocalName;
    std::string RemoteName;
    std::int64_t Offset = 0;
};

struct TDeleteCommand
{
    static constexpr TFTPCommand Kind = fcDelete;
    std::string Name;
};

struct TRenameCommand
{
    static constexpr TFTPCommand Kind = fcRename;
    std::string OldName;
    std::string NewName;
};

struct TCreateFolderCommand
{
    static constexpr TFTPCommand Kind = fcCreateFolder;
    std::string Name;
};

struct TRemoveFolderCommand
{
    static constexpr TFTPCommand Kind = fcRemoveFolder;
    std::string Name;
};

struct TNoOpCommand
{
    static constexpr TFTPCommand Kind = fcNoOp;
};

struct TSetTypeCommand
{
    static constexpr TFTPCommand Kind = fcSetType;
    TTransferType Type = ttAuto;
};

struct TChangeAttributesCommand
{
    static constexpr TFTPCommand Kind = fcChangeAttributes;
    std::uint32_t Attributes = 0; // the permission bits of TDirEntry
    std::string Name;
};

using TEngineCommand =
    std::variant<TFirewallLoginCommand, TLoginCommand, TLogoutCommand, TGetCurrentFolderCommand,
                 TSetCurrentFolderCommand, TListCommand, TDownloadCommand, TUploadCommand,
                 TResumeDownloadCommand, TResumeUploadCommand, TDeleteCommand, TRenameCommand,
                 TCreateFolderCommand, TRemoveFolderCommand, TNoOpCommand, TSetTypeCommand,
                 TChangeAttributesCommand>;

TFTPCommand CommandKind(const TEngineCommand &Command);

// "755" for rwxr-xr-x, "0" for no bits.
std::string ModeText(std::uint32_t Attributes);

// The arguments as the trace shows them, in the order of the command's fields.
std::vector<std::string> TraceArguments(const TEngineCommand &Command);

// Lets std::visit take one lambda per command struct.
template <typename... Handlers>
struct TOverloaded : Handlers...
{
    using Handlers::operator()...;
};
template <typename... Handlers>
TOverloaded(Handlers...) -> TOverloaded<Handlers...>;
