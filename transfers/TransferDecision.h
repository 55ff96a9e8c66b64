#pragma once

#include "engine/FTPTypes.h"
#include "platform/DateTime.h"
#include "transfers/TransferSettings.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Modal results of the question windows.
enum TModalResult : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2, // the window was closed
    mrRetry = 4,  // "&Recovery" of the overwrite question
    mrYes = 6,
    mrNo = 7,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

// What the overwrite question shows.
struct TOverwriteQuestion
{
    std::string FileName;
    std::int64_t ExistingSize = 0;
    std::int64_t NewSize = 0;
    TDateTime ExistingDate;
    TDateTime NewDate;
    // Sent as text, its line ends change on the way, so no offset into it can be trusted.
    bool SentAsText = false;

    // "&Recovery" is offered only when the existing file is shorter and sent as it is.
    bool CanRecover() const { return !SentAsText && ExistingSize < NewSize; }
};

// The two questions of the per-file decision, answered by the overwrite and restart
// windows in the program and by scripted answers in tests. Each returns a modal result.
class TTransferQuestions
{
public:
    virtual ~TTransferQuestions() = default;
    virtual int AskOverwrite(const TOverwriteQuestion &question) = 0;
    virtual int AskRestart(const std::string &fileName) = 0;
};

// The answers remembered for one transfer operation (one drop or one command, with
// every folder it descends into). All false at its start.
struct TTransferFlags
{
    bool OverwriteToAll = false;
    bool OverwriteYes = false;
    bool RestartToAll = false;
    bool RestartYes = false;
};

// The file about to be transferred.
struct TTransferSource
{
    std::string Name;
    std::int64_t Size = 0;
    TDateTime Date;
};

// Decides whether and from which offset one file is transferred. `destination` holds
// the entries of the folder the file goes to, or is null when they are not known (the
// file then counts as new). Returns the restart offset, or nothing when the file is
// skipped.
std::optional<std::int64_t> DecideTransfer(const TTransferSettings &settings,
                                           const TTransferSource &source,
                                           const TDirListing *destination, bool canResume,
                                           TTransferFlags &flags, TTransferQuestions &questions);

// The entry of `listing` that a file called `name` would replace: the one with exactly
// that name, else the first whose name matches without regard to case. A link matches
// by its own name, not by its target. Null when none does.
const TListItem *FindDestinationEntry(const TDirListing &listing, std::string_view name);

// Whether two names are equal without regard to case (Unicode case folding for UTF-8,
// ASCII folding otherwise).
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// The extension of `name` from its last period, period included; empty without one.
std::string_view ExtensionOf(std::string_view name);

// Whether `name`'s extension is an entry of the ASCII extension list, ignoring case.
bool HasAsciiExtension(const TTransferSettings &settings, std::string_view name);

// The transfer type for `name` under the "TransferMode" option: Auto gives ASCII for
// the listed extensions and binary otherwise; an unknown mode gives binary.
TTransferType ChooseTransferType(const TTransferSettings &settings, std::string_view name);

// Whether a download that ended without an error still holds fewer bytes than the
// source's known size (0: unknown). Only a binary transfer keeps the count: a text one
// changes its line ends on the way.
bool DownloadEndedShort(TTransferType type, std::int64_t knownSize, std::int64_t localSize);

// `name` in lowercase (Unicode when it is valid UTF-8, ASCII letters otherwise).
std::string LowerCaseName(std::string_view name);

// Whether a local destination folder ends with "/" and has no ".", ".." or empty step
// and no NUL byte, so that joining a safe name to it stays inside it.
bool IsSafeLocalFolder(std::string_view folder);

// The files and folders of a local folder with their sizes and times, for deciding
// about files that go into a folder the destination view is not showing. Null when the
// folder cannot be read (a folder about to be created has no entries to conflict with).
std::optional<TDirListing> ReadLocalFolder(const std::string &folder);
