#include "tools/ferrow-ftp/ToolSession.h"

#include "engine/Trace.h"
#include "tools/ferrow-ftp/ToolOutput.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

QString LocalName(const std::string &Argument)
{
    return QFile::decodeName(QByteArray::fromStdString(Argument));
}

TNote MakeNote(TNoteKind Kind, int Code = 0, std::string Text = {}, std::string Text2 = {})
{
    TNote note;
    note.Kind = Kind;
    note.Code = Code;
    note.Text = std::move(Text);
    note.Text2 = std::move(Text2);
    return note;
}

} // namespace

void ApplyEngineSettings(const TToolOptions &Options)
{
    if (Options.TimeoutSeconds)
        TFTPComponent::TimeoutMS = *Options.TimeoutSeconds * 1000;
    // One attempt unless asked: a script wants to hear about a dead server at once.
    TFTPComponent::RetryCount = Options.Retries.value_or(1);
    DebugMode = Options.Debug;
}

TToolSession::TToolSession(const TToolOptions &Options) : FOptions(Options)
{
    FEngine.SetHost(FOptions.Host);
    FEngine.SetPort(FOptions.Port);
    FEngine.SetUserName(FOptions.User);
    FEngine.SetPassword(FOptions.Password);
    FEngine.SetAccount(FOptions.Account);
    FEngine.SetPassive(!FOptions.Active);
    FEngine.SetServerType(FOptions.ServerType);
    AttachHandlers();
}

void TToolSession::Start()
{
    FEngine.Login();
}

void TToolSession::AttachHandlers()
{
    const auto simple = [this](TNoteKind Kind) {
        return [this, Kind](TFTPComponent *) { Record(MakeNote(Kind)); };
    };
    FEngineConnections += FEngine.OnAbort.Connect(simple(TNoteKind::Abort));
    FEngineConnections += FEngine.OnCantLogIn.Connect(simple(TNoteKind::CantLogIn));
    FEngineConnections += FEngine.OnConnect.Connect(simple(TNoteKind::Connect));
    FEngineConnections += FEngine.OnDisconnect.Connect(simple(TNoteKind::Disconnect));
    FEngineConnections += FEngine.OnLoggedIn.Connect(simple(TNoteKind::LoggedIn));
    FEngineConnections += FEngine.OnError.Connect([this](TFTPComponent *, int Code, const std::string &Desc) {
        Record(MakeNote(TNoteKind::Error, Code, Desc));
    });
    FEngineConnections += FEngine.OnFolderReply.Connect(
        [this](TFTPComponent *, const std::string &Folder, int ReplyType, bool Result) {
            TNote note = MakeNote(TNoteKind::FolderReply, ReplyType, Folder);
            note.Flag = Result;
            if (ReplyType == frCurrent && Result)
                FCurrentFolder = Folder;
            Record(std::move(note));
        });
    FEngineConnections +=
        FEngine.OnLog.Connect([this](TFTPComponent *, const std::string &Message, TColor Color) {
            TNote note = MakeNote(TNoteKind::Log, 0, Message);
            note.Color = Color;
            Record(std::move(note));
        });
    FEngineConnections +=
        FEngine.OnProgress.Connect([this](TFTPComponent *, int Phase, bool IsFile, std::int64_t Bytes) {
            TNote note = MakeNote(TNoteKind::Progress, Phase);
            note.Flag = IsFile;
            note.Number = Bytes;
            Record(std::move(note));
        });
    FEngineConnections +=
        FEngine.OnProcessList.Connect([this](TFTPComponent *, const std::string &Folder, TDirListing &List) {
            FListing = std::move(List);
            Record(MakeNote(TNoteKind::ProcessList, 0, Folder));
        });
    FEngineConnections += FEngine.OnRenameSuccessful.Connect(
        [this](TFTPComponent *, const std::string &OldName, const std::string &NewName) {
            Record(MakeNote(TNoteKind::RenameSuccessful, 0, OldName, NewName));
        });
    FEngineConnections += FEngine.OnUpdateFileSize.Connect(
        [this](TFTPComponent *, const QString &FileName, std::int64_t NewSize) {
            TNote note = MakeNote(TNoteKind::UpdateFileSize, 0, QFile::encodeName(FileName).toStdString());
            note.Number = NewSize;
            Record(std::move(note));
        });
}

void TToolSession::Record(TNote Note)
{
    WriteLine(stderr, NoteLine(Note));
    const TNoteKind kind = Note.Kind;
    if (FCommandQueued && !FQuitSent) {
        if (kind == TNoteKind::Log && Note.Color == clLogCommand && Note.Text == "QUIT")
            FQuitSent = true;
        else
            FCommandNotes.push_back(std::move(Note));
    }
    if (kind == TNoteKind::LoggedIn) {
        FLoggedIn = true;
        QueueCommand();
    } else if (kind == TNoteKind::Disconnect) {
        BeginFinish();
    }
}

void TToolSession::QueueCommand()
{
    if (FCommandQueued)
        return;
    FCommandQueued = true;
    const std::vector<std::string> &args = FOptions.Arguments;
    const std::int64_t offset = FOptions.Offset.value_or(0);
    const int type = FOptions.Ascii ? ttASCII : ttBinary;
    switch (FOptions.Command) {
    case TToolCommand::Ls:
        if (!args.empty())
            FEngine.SetCurrentFolder(args[0]);
        FEngine.List(args.empty() ? std::string() : args[0], std::string());
        break;
    case TToolCommand::Get:
        if (offset > 0)
            FEngine.ResumeDownload(args[0], LocalName(args[1]), offset, type);
        else
            FEngine.Download(args[0], LocalName(args[1]), type);
        break;
    case TToolCommand::Put:
        if (offset > 0)
            FEngine.ResumeUpload(LocalName(args[0]), args[1], offset, type);
        else
            FEngine.Upload(LocalName(args[0]), args[1], type);
        break;
    case TToolCommand::Mkdir: FEngine.CreateFolder(args[0]); break;
    case TToolCommand::Rmdir: FEngine.RemoveFolder(args[0]); break;
    case TToolCommand::Rm: FEngine.Delete(args[0]); break;
    case TToolCommand::Mv: FEngine.Rename(args[0], args[1]); break;
    case TToolCommand::Chmod: FEngine.ChangeAttributes(args[1], FOptions.Attributes); break;
    case TToolCommand::Pwd: FEngine.GetCurrentFolder(); break;
    case TToolCommand::Cd:
        FEngine.SetCurrentFolder(args[0]);
        FEngine.GetCurrentFolder();
        break;
    case TToolCommand::Parse: break;
    }
    // Queued, not Logout(): that would abort the command just queued.
    FEngine.AddCommand(TLogoutCommand{});
}

void TToolSession::BeginFinish()
{
    if (FFinishing)
        return;
    FFinishing = true;
    // Once the flush is through, the worker has posted everything it will ever raise;
    // a call queued now runs after the last of it.
    FEngine.ClearCommands();
    QMetaObject::invokeMethod(QCoreApplication::instance(), [this] { Finish(); }, Qt::QueuedConnection);
}

void TToolSession::Finish()
{
    const int code = ExitCode();
    if (code == teSuccess)
        PrintResults();
    QCoreApplication::exit(code);
}

int TToolSession::ExitCode() const
{
    if (!FLoggedIn)
        return teCannotLogIn;
    return CommandSucceeded(FOptions.Command, FCommandNotes) ? teSuccess : teCommandFailed;
}

void TToolSession::PrintResults() const
{
    switch (FOptions.Command) {
    case TToolCommand::Ls: PrintListing(FListing); break;
    case TToolCommand::Pwd:
    case TToolCommand::Cd:
        WriteLine(stdout, FCurrentFolder);
        std::fflush(stdout);
        break;
    default: break;
    }
}
