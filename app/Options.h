#pragma once

// The user's preferences: every option with its section, key, type and default, the
// ASCII extension list and the URL history, loaded from and saved to the options file.
// TOptions is a plain value: the preferences window edits a copy and the copy replaces
// the live options only when it was saved.

#include "transfers/TransferSettings.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <variant>

enum TOptionId : int {
    // "General"
    oiEMail,
    oiViewer,
    oiLogFile,
    oiLogToFile,
    oiShowToolTips,
    oiDefaultDir,
    // "Advanced"
    oiNoXferOlder,
    oiASCIIOnView,
    oiPreserveTimeStamp,
    oiConfirmRestarts,
    oiConfirmLowerCase,
    oiConfirmOverwrites,
    oiTryToResume,
    oiLocalDblClk,
    oiHostDblClk,
    // "Connection"
    oiShowManager,
    oiPromptForPass,
    oiPing,
    oiUsePASV,
    oiRetries,
    oiInfiniteRetry,
    oiTimeout,
    oiTransferMode,
    // "Firewall"
    oiFirewallEnabled,
    oiFirewallType,
    oiFirewallHost,
    oiFirewallPort,
    oiFirewallUser,
    oiFirewallPassword,
    // "Sounds"
    oiSoundsEnabled,
    oiConnectSuccessSound,
    oiConnectFailureSound,
    oiDisconnectSound,
    oiEndOfFileSound,
    oiEndOfTotalSound,
    oiErrorSound,
    OptionCount
};

enum TOptionType : int {
    otBoolean, // "1" or "0"; any non-zero integer reads as true
    otChoice,  // the index of a radio group, within [Min, Max]
    otNumber,  // an integer edited as text: converted strictly on saving
    otText,
};

// One option of the file. Viewer and LogFile have defaults that depend on the system;
// see TOptions::DefaultValue.
struct TOptionDescriptor
{
    TOptionId Id;
    const char *Section;
    const char *Key;
    TOptionType Type;
    int DefaultNumber;       // otBoolean, otChoice, otNumber
    const char *DefaultText; // otText
    int Min;                 // otChoice, otNumber: the smallest usable value
    int Max;
    // The caption of its control; a number's caption holds %1 where its edit stands.
    const char *Label;
    const char *Items; // otChoice: the radio items, separated by '|'
};

// The descriptors, in the order of the file and of the window's pages.
const std::array<TOptionDescriptor, OptionCount> &OptionDescriptors();
const TOptionDescriptor &OptionDescriptor(TOptionId id);

// The values the engines share, worked out from the options.
struct TEngineSettings
{
    bool KeepAlive = true;
    bool Passive = false;
    int TimeoutMS = 120000;
    int RetryCount = 3; // 0: retry without end
};

class TOptions
{
public:
    // Every option at its default; nothing is read yet.
    explicit TOptions(QString fileName = DefaultFileName());

    // The options file: named after the program, in the program folder.
    static QString DefaultFileName();
    // The built-in ASCII extension list.
    static QStringList DefaultExtensions();
    // The e-mail address that identifies an anonymous guest when the user gave none.
    static QString PlaceholderEMail();
    // The first graphical text editor on PATH, else the desktop's opener.
    static QString DefaultViewer();
    // The default of an option (for otText as text, otherwise as a decimal number).
    static QString DefaultValue(TOptionId id);
    // What the log file's edit shows becomes a file in the program folder.
    static QString LogFilePathFor(const QString &editText);

    const QString &FileName() const { return FFileName; }

    // Reads every option; missing, unreadable or out-of-range values give the
    // defaults. An empty "FileTypes" section keeps the current extension list, and URLs
    // of the file are added to the history unless already there.
    void Load();
    // Writes every option, the extension list and the URL history. Nothing is written
    // when a number is not a whole number ("'%s' is not a valid integer value") or lies
    // outside its range, or the file cannot be written; the message, which names the
    // field, is then returned in errorMessage.
    bool Save(QString *errorMessage = nullptr) const;
    // Writes the "URLs" section alone (at program end).
    bool SaveURLs(QString *errorMessage = nullptr) const;

    bool Bool(TOptionId id) const;
    int Choice(TOptionId id) const;
    // otText and otNumber values as text; otBoolean and otChoice as decimal text.
    QString Text(TOptionId id) const;
    void SetBool(TOptionId id, bool value);
    void SetChoice(TOptionId id, int value);
    void SetText(TOptionId id, const QString &value);

    // Extensions used with ASCII transfers, sorted regardless of case, each with a
    // leading period.
    const QStringList &Extensions() const { return FExtensions; }
    // Adds ".ext" for "ext"; false when it is empty or already listed.
    bool AddExtension(const QString &text);
    bool RemoveExtension(const QString &extension);
    void SetExtensions(const QStringList &extensions);

    // The URL history, newest first, without duplicates.
    const QStringList &URLs() const { return FURLs; }
    // Puts a URL on top of the history unless it is listed already (letter case ignored).
    void AddURL(const QString &url);
    void SetURLs(const QStringList &urls);

    // Frequently read values.
    QString EMail() const { return Text(oiEMail); }
    QString Viewer() const { return Text(oiViewer); }
    QString LogFile() const { return Text(oiLogFile); }
    bool UsePassive() const { return Bool(oiUsePASV); }
    int TransferMode() const { return Choice(oiTransferMode); }

    // The file of an event sound (oiConnectSuccessSound ... oiErrorSound) when sounds
    // are on and one is set; empty when nothing is to be played.
    QString SoundToPlay(TOptionId sound) const;

    // The engine-wide values: time-out from the time-out text (120 s when it is no
    // usable number), retries 0 with "until connected", else from the retries text (3
    // when it is no usable number, 1 for a typed 0, which the engine reads as endless).
    TEngineSettings EngineSettings() const;
    // Pushes EngineSettings() into the engine: keep-alive, time-out, retry count, and
    // the passive flag of every live engine.
    void ApplyEngineSettings() const;
    // The values the transfer queue and its per-file decision read.
    TTransferSettings TransferSettings() const;

    friend bool operator==(const TOptions &, const TOptions &) = default;

private:
    using TValue = std::variant<bool, int, QString>;

    std::optional<QString> ValidationError() const;
    static QString FileError(const QString &fileName);

    QString FFileName;
    std::array<TValue, OptionCount> FValues;
    QStringList FExtensions;
    QStringList FURLs;
};

// The option's caption as a message names it: "Timeout after ... seconds".
QString OptionFieldName(TOptionId id);

// Whole decimal number as the strict conversion on saving accepts it.
std::optional<int> StrictInteger(const QString &text);
