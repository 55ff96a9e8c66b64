#include "tools/ferrow-ftp/ToolNotes.h"

#include <algorithm>

namespace {

std::string OneLine(std::string Text)
{
    std::replace(Text.begin(), Text.end(), '\r', '~');
    std::replace(Text.begin(), Text.end(), '\n', '~');
    return Text;
}

std::string Quoted(const std::string &Text)
{
    return '"' + Text + '"';
}

bool Has(const std::vector<TNote> &Notes, TNoteKind Kind)
{
    return std::any_of(Notes.begin(), Notes.end(), [Kind](const TNote &n) { return n.Kind == Kind; });
}

bool HasFolderReply(const std::vector<TNote> &Notes, int ReplyType)
{
    return std::any_of(Notes.begin(), Notes.end(), [ReplyType](const TNote &n) {
        return n.Kind == TNoteKind::FolderReply && n.Code == ReplyType;
    });
}

bool HasTransferEnd(const std::vector<TNote> &Notes)
{
    return std::any_of(Notes.begin(), Notes.end(), [](const TNote &n) {
        return n.Kind == TNoteKind::Progress && n.Code == ppEnd;
    });
}

// Failures that end any command, whatever it is.
bool AnythingWentWrong(const std::vector<TNote> &Notes)
{
    return std::any_of(Notes.begin(), Notes.end(), [](const TNote &n) {
        switch (n.Kind) {
        case TNoteKind::Abort:
        case TNoteKind::CantLogIn:
        case TNoteKind::Disconnect:
        case TNoteKind::Error: return true;
        case TNoteKind::FolderReply: return !n.Flag;
        default: return false;
        }
    });
}

} // namespace

std::string NoteLine(const TNote &Note)
{
    switch (Note.Kind) {
    case TNoteKind::Abort: return "Notify Abort";
    case TNoteKind::CantLogIn: return "Notify CantLogIn";
    case TNoteKind::Connect: return "Notify Connect";
    case TNoteKind::Disconnect: return "Notify Disconnect";
    case TNoteKind::LoggedIn: return "Notify LoggedIn";
    case TNoteKind::Error:
        return "Notify Error. Code = " + std::to_string(Note.Code) + ", Desc = " + Quoted(OneLine(Note.Text));
    case TNoteKind::FolderReply:
        return "Notify FolderReply. Folder = " + Quoted(OneLine(Note.Text)) +
               ", ReplyType = " + std::to_string(Note.Code) + ", Result = " + (Note.Flag ? "1" : "0");
    case TNoteKind::Log: return "Notify Log. Message = " + Quoted(OneLine(Note.Text));
    case TNoteKind::Progress:
        return "Notify Progress. Phase = " + std::to_string(Note.Code) + ", IsFile = " + (Note.Flag ? "1" : "0") +
               ", Bytes = " + std::to_string(Note.Number);
    case TNoteKind::ProcessList: return "Notify ProcessList. Folder = " + Quoted(OneLine(Note.Text));
    case TNoteKind::RenameSuccessful:
        return "Notify RenameSuccessful. OldName = " + Quoted(OneLine(Note.Text)) +
               ", NewName = " + Quoted(OneLine(Note.Text2));
    case TNoteKind::UpdateFileSize: return "Notify UpdateFileSize. NewSize = " + std::to_string(Note.Number);
    }
    return {};
}

int LastReplyCode(const std::vector<TNote> &Notes)
{
    int code = 0;
    for (const TNote &note : Notes) {
        if (note.Kind != TNoteKind::Log || (note.Color != clLogReply && note.Color != clLogError))
            continue;
        const std::string &text = note.Text;
        // Only the last line of a reply ("250 ...", not "250-...") completes it.
        if (text.size() >= 4 && std::all_of(text.begin(), text.begin() + 3, [](char c) {
                return c >= '0' && c <= '9';
            }) && text[3] == ' ')
            code = std::stoi(text.substr(0, 3));
    }
    return code;
}

bool CommandSucceeded(TToolCommand Command, const std::vector<TNote> &Notes)
{
    if (AnythingWentWrong(Notes))
        return false;
    switch (Command) {
    case TToolCommand::Ls: return Has(Notes, TNoteKind::ProcessList);
    case TToolCommand::Get:
    case TToolCommand::Put: return HasTransferEnd(Notes);
    case TToolCommand::Mkdir: return HasFolderReply(Notes, frCreate);
    case TToolCommand::Rmdir: return HasFolderReply(Notes, frRemove);
    case TToolCommand::Pwd: return HasFolderReply(Notes, frCurrent);
    case TToolCommand::Cd: return HasFolderReply(Notes, frChange) && HasFolderReply(Notes, frCurrent);
    case TToolCommand::Mv: return Has(Notes, TNoteKind::RenameSuccessful);
    // Delete and the permission change report only through the log.
    case TToolCommand::Rm:
    case TToolCommand::Chmod: return LastReplyCode(Notes) / 100 == 2;
    case TToolCommand::Parse: return false;
    }
    return false;
}
