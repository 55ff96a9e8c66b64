#include "app/Options.h"

#include "engine/FTPComp.h"
#include "platform/IniFile.h"
#include "platform/ProgramFolder.h"
#include "sites/SiteStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <climits>
#include <map>

namespace {

constexpr int AnyNumber = INT_MAX;
// The engine holds the time-out in milliseconds in an int.
constexpr int MaxTimeoutSeconds = INT_MAX / 1000;
constexpr int OptionsFileMode = 0600;
constexpr int FallbackTimeoutSeconds = 120;
constexpr int FallbackRetries = 3;

const QString FileTypesSection = QStringLiteral("FileTypes");
const QString URLsSection = QStringLiteral("URLs");
const QString ExtensionKey = QStringLiteral("Ext");
const QString URLKey = QStringLiteral("URL");

// Viewer and LogFile take their defaults from the system (DefaultValue).
constexpr std::array<TOptionDescriptor, OptionCount> Descriptors = {{
    {oiEMail, "General", "EMail", otText, 0, "", 0, 0,
     "EMail Address:", nullptr},
    {oiViewer, "General", "Viewer", otText, 0, nullptr, 0, 0,
     "Text Viewer:", nullptr},
    {oiLogFile, "General", "LogFile", otText, 0, nullptr, 0, 0,
     "Log Filename:", nullptr},
    {oiLogToFile, "General", "LogToFile", otBoolean, 0, nullptr, 0, 1,
     "Description of all actions in a log file", nullptr},
    {oiShowToolTips, "General", "ShowToolTips", otBoolean, 1, nullptr, 0, 1,
     "Show Tool Tips", nullptr},
    {oiDefaultDir, "General", "DefaultDir", otText, 0, "", 0, 0,
     "Default Directory:", nullptr},
    {oiNoXferOlder, "Advanced", "NoXferOlder", otBoolean, 0, nullptr, 0, 1,
     "Don't tranfer older or same-aged files", nullptr},
    {oiASCIIOnView, "Advanced", "ASCIIOnView", otBoolean, 1, nullptr, 0, 1,
     "Transfer ASCII on view", nullptr},
    {oiPreserveTimeStamp, "Advanced", "PreserveTimeStamp", otBoolean, 1, nullptr, 0, 1,
     "Preserve date and time on downloaded files", nullptr},
    {oiConfirmRestarts, "Advanced", "ConfirmRestarts", otBoolean, 1, nullptr, 0, 1,
     "Confirm recoveries", nullptr},
    {oiConfirmLowerCase, "Advanced", "ConfirmLowerCase", otBoolean, 0, nullptr, 0, 1,
     "Force uploaded filenames to lowercase", nullptr},
    {oiConfirmOverwrites, "Advanced", "ConfirmOverwrites", otBoolean, 1, nullptr, 0, 1,
     "Confirm file overwrites", nullptr},
    {oiTryToResume, "Advanced", "TryToResume", otChoice, 1, nullptr, 0, 2,
     " Type of recoveries for failed tranfers ", "None|Binary files|All files"},
    {oiLocalDblClk, "Advanced", "LocalDblClk", otChoice, 3, nullptr, 0, 3,
     " Double click action (local) ", "&Properties|&View|&Upload|&Open"},
    {oiHostDblClk, "Advanced", "HostDblClk", otChoice, 2, nullptr, 0, 3,
     " Double click action (host) ", "P&roperties|V&iew|&Download|O&pen"},
    {oiShowManager, "Connection", "ShowManager", otBoolean, 1, nullptr, 0, 1,
     "View the session manager on startup", nullptr},
    {oiPromptForPass, "Connection", "PromptForPass", otBoolean, 1, nullptr, 0, 1,
     "Ask for password if none is specified", nullptr},
    {oiPing, "Connection", "Ping", otBoolean, 1, nullptr, 0, 1,
     "Stay connected with the server", nullptr},
    {oiUsePASV, "Connection", "UsePASV", otBoolean, 0, nullptr, 0, 1,
     "Use passive mode (PASV) for transfers", nullptr},
    {oiRetries, "Connection", "Retries", otNumber, 3, nullptr, 0, AnyNumber,
     "Try to reconnect %1 times", nullptr},
    {oiInfiniteRetry, "Connection", "InfiniteRetry", otBoolean, 0, nullptr, 0, 1,
     "until connected", nullptr},
    {oiTimeout, "Connection", "Timeout", otNumber, 90, nullptr, 1, MaxTimeoutSeconds,
     "Timeout after %1 seconds", nullptr},
    {oiTransferMode, "Connection", "TransferMode", otChoice, 0, nullptr, 0, 4,
     "Default transfer mode", "A&uto|ASC&II|&Binary|&EBCDIC|&Local"},
    {oiFirewallEnabled, "Firewall", "Enabled", otBoolean, 0, nullptr, 0, 1,
     "Activate Firewalls", nullptr},
    {oiFirewallType, "Firewall", "Type", otChoice, 0, nullptr, 0, 3,
     " Type ", "&Site|&Proxy|User with &login|User without l&ogin"},
    {oiFirewallHost, "Firewall", "Host", otText, 0, "", 0, 0,
     "Host:", nullptr},
    {oiFirewallPort, "Firewall", "Port", otText, 0, "21", 0, 0,
     "Port:", nullptr},
    {oiFirewallUser, "Firewall", "User", otText, 0, "", 0, 0,
     "User ID:", nullptr},
    {oiFirewallPassword, "Firewall", "Password", otText, 0, "", 0, 0,
     "Password:", nullptr},
    {oiSoundsEnabled, "Sounds", "Enabled", otBoolean, 0, nullptr, 0, 1,
     "Activate sounds", nullptr},
    {oiConnectSuccessSound, "Sounds", "ConnectSuccess", otText, 0, "", 0, 0,
     "Connection success:", nullptr},
    {oiConnectFailureSound, "Sounds", "ConnectFailure", otText, 0, "", 0, 0,
     "Connection failure:", nullptr},
    {oiDisconnectSound, "Sounds", "Disconnect", otText, 0, "", 0, 0,
     "Disconnection:", nullptr},
    {oiEndOfFileSound, "Sounds", "EndOfFile", otText, 0, "", 0, 0,
     "End of transfer:", nullptr},
    {oiEndOfTotalSound, "Sounds", "EndOfTotal", otText, 0, "", 0, 0,
     "End of all transfers:", nullptr},
    {oiErrorSound, "Sounds", "Error", otText, 0, "", 0, 0,
     "Error in the transfer:", nullptr},
}};

constexpr bool DescriptorsInIdOrder()
{
    for (int i = 0; i < OptionCount; ++i) {
        if (Descriptors[i].Id != i)
            return false;
    }
    return true;
}
static_assert(DescriptorsInIdOrder(), "one descriptor per option, in the order of TOptionId");

QString ProgramName()
{
    if (QCoreApplication::instance()) {
        const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("ferrow");
}

bool SortsBefore(const QString &a, const QString &b)
{
    const int byText = a.compare(b, Qt::CaseInsensitive);
    return byText != 0 ? byText < 0 : a < b;
}

bool ContainsIgnoringCase(const QStringList &list, const QString &text)
{
    return list.contains(text, Qt::CaseInsensitive);
}

// ".txt" for "txt"; empty for text that names no extension.
QString NormalisedExtension(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QString extension = trimmed.startsWith(u'.') ? trimmed : u'.' + trimmed;
    return extension.size() > 1 ? extension : QString();
}

// The values of the keys Prefix0, Prefix1, ... in the order of their numbers; keys
// missing from the sequence and empty values are passed over.
QStringList NumberedValues(const TIniFile &ini, const QString &section, const QString &prefix)
{
    const QRegularExpression pattern(u'^' + QRegularExpression::escape(prefix) + QStringLiteral("(0|[1-9]\\d{0,8})$"),
                                     QRegularExpression::CaseInsensitiveOption);
    std::multimap<int, QString> numbered;
    for (const auto &[key, value] : ini.ReadSectionValues(section)) {
        const QRegularExpressionMatch match = pattern.match(key);
        if (match.hasMatch() && !value.isEmpty())
            numbered.emplace(match.captured(1).toInt(), value);
    }
    QStringList values;
    for (const auto &[number, value] : numbered)
        values.append(value);
    return values;
}

void WriteNumberedValues(TIniFile &ini, const QString &section, const QString &prefix,
                         const QStringList &values)
{
    ini.EraseSection(section);
    for (int i = 0; i < values.size(); ++i)
        ini.WriteString(section, prefix + QString::number(i), ProtectedProfileValue(values[i]));
}

bool WriteFile(TIniFile &ini)
{
    QDir().mkpath(QFileInfo(ini.FileName()).absolutePath());
    return ini.UpdateFile(OptionsFileMode);
}

} // namespace

std::optional<int> StrictInteger(const QString &text)
{
    static const QRegularExpression wholeNumber(QStringLiteral("^\\s*[+-]?\\d+\\s*$"));
    if (!wholeNumber.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

const std::array<TOptionDescriptor, OptionCount> &OptionDescriptors()
{
    return Descriptors;
}

const TOptionDescriptor &OptionDescriptor(TOptionId id)
{
    return Descriptors.at(id);
}

QString OptionFieldName(TOptionId id)
{
    QString caption = QString::fromLatin1(OptionDescriptor(id).Label).trimmed();
    caption.remove(u'&');
    return caption.replace(QStringLiteral("%1"), QStringLiteral("..."));
}

// ---- Defaults ----

QString TOptions::DefaultFileName()
{
    return ProgramFilePath(ProgramName() + QStringLiteral(".ini"));
}

QStringList TOptions::DefaultExtensions()
{
    return {".1st", ".asc", ".asi", ".asp", ".cfm", ".css", ".diz",
            ".doc", ".htm", ".html", ".me", ".shtml", ".txt"};
}

QString TOptions::PlaceholderEMail()
{
    return QStringLiteral("guest@ferrow.invalid");
}

QString TOptions::DefaultViewer()
{
    for (const char *editor : {"gnome-text-editor", "gedit", "kate", "mousepad", "xed", "pluma"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(editor));
        if (!path.isEmpty())
            return path;
    }
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    return opener.isEmpty() ? QStringLiteral("xdg-open") : opener;
}

QString TOptions::DefaultValue(TOptionId id)
{
    const TOptionDescriptor &d = OptionDescriptor(id);
    if (id == oiViewer)
        return DefaultViewer();
    if (id == oiLogFile)
        return ProgramFilePath(ProgramName() + QStringLiteral(".log"));
    if (d.Type == otText)
        return QString::fromLatin1(d.DefaultText);
    return QString::number(d.DefaultNumber);
}

QString TOptions::LogFilePathFor(const QString &editText)
{
    // Only the file name counts: the log file always lies in the program folder.
    return ProgramFilePath(QFileInfo(editText.trimmed()).fileName());
}

// ---- TOptions ----

TOptions::TOptions(QString fileName) : FFileName(std::move(fileName)), FExtensions(DefaultExtensions())
{
    for (const TOptionDescriptor &d : Descriptors) {
        switch (d.Type) {
        case otBoolean: FValues[d.Id] = d.DefaultNumber != 0; break;
        case otChoice: FValues[d.Id] = d.DefaultNumber; break;
        case otNumber:
        case otText: FValues[d.Id] = DefaultValue(d.Id); break;
        }
    }
}

void TOptions::Load()
{
    const TIniFile ini(FFileName);
    for (const TOptionDescriptor &d : Descriptors) {
        const QString section = QString::fromLatin1(d.Section);
        const QString key = QString::fromLatin1(d.Key);
        switch (d.Type) {
        case otBoolean:
            FValues[d.Id] = ini.ReadBool(section, key, d.DefaultNumber != 0);
            break;
        case otChoice:
        case otNumber: {
            int value = ini.ReadInteger(section, key, d.DefaultNumber);
            if (value < d.Min || value > d.Max)
                value = d.DefaultNumber;
            if (d.Type == otChoice)
                FValues[d.Id] = value;
            else
                FValues[d.Id] = QString::number(value);
            break;
        }
        case otText:
            FValues[d.Id] = ini.ReadString(section, key, DefaultValue(d.Id));
            break;
        }
    }
    if (EMail().isEmpty())
        SetText(oiEMail, PlaceholderEMail());

    const QStringList extensions = NumberedValues(ini, FileTypesSection, ExtensionKey);
    if (!extensions.isEmpty())
        SetExtensions(extensions);

    for (const QString &url : NumberedValues(ini, URLsSection, URLKey)) {
        if (!FURLs.contains(url))
            FURLs.append(url);
    }
}

std::optional<QString> TOptions::ValidationError() const
{
    for (const TOptionDescriptor &d : Descriptors) {
        if (d.Type != otNumber)
            continue;
        const QString text = Text(d.Id);
        const std::optional<int> value = StrictInteger(text);
        if (!value)
            return QStringLiteral("%1: '%2' is not a valid integer value").arg(OptionFieldName(d.Id), text);
        if (*value < d.Min || *value > d.Max)
            return QStringLiteral("%1: '%2' is not a value from %3 to %4")
                .arg(OptionFieldName(d.Id), text, QString::number(d.Min), QString::number(d.Max));
    }
    return std::nullopt;
}

QString TOptions::FileError(const QString &fileName)
{
    return QStringLiteral("The options could not be saved to \"%1\".").arg(QDir::toNativeSeparators(fileName));
}

bool TOptions::Save(QString *errorMessage) const
{
    if (const std::optional<QString> error = ValidationError()) {
        if (errorMessage)
            *errorMessage = *error;
        return false;
    }
    TIniFile ini(FFileName);
    for (const TOptionDescriptor &d : Descriptors) {
        const QString section = QString::fromLatin1(d.Section);
        const QString key = QString::fromLatin1(d.Key);
        switch (d.Type) {
        case otBoolean: ini.WriteBool(section, key, Bool(d.Id)); break;
        case otChoice: ini.WriteInteger(section, key, Choice(d.Id)); break;
        case otNumber: ini.WriteInteger(section, key, *StrictInteger(Text(d.Id))); break;
        case otText: ini.WriteString(section, key, ProtectedProfileValue(Text(d.Id))); break;
        }
    }
    WriteNumberedValues(ini, FileTypesSection, ExtensionKey, FExtensions);
    WriteNumberedValues(ini, URLsSection, URLKey, FURLs);
    if (WriteFile(ini))
        return true;
    if (errorMessage)
        *errorMessage = FileError(FFileName);
    return false;
}

bool TOptions::SaveURLs(QString *errorMessage) const
{
    TIniFile ini(FFileName);
    WriteNumberedValues(ini, URLsSection, URLKey, FURLs);
    if (WriteFile(ini))
        return true;
    if (errorMessage)
        *errorMessage = FileError(FFileName);
    return false;
}

bool TOptions::Bool(TOptionId id) const
{
    Q_ASSERT(OptionDescriptor(id).Type == otBoolean);
    return std::get<bool>(FValues[id]);
}

int TOptions::Choice(TOptionId id) const
{
    Q_ASSERT(OptionDescriptor(id).Type == otChoice);
    return std::get<int>(FValues[id]);
}

QString TOptions::Text(TOptionId id) const
{
    const TValue &value = FValues[id];
    if (const bool *flag = std::get_if<bool>(&value))
        return *flag ? QStringLiteral("1") : QStringLiteral("0");
    if (const int *number = std::get_if<int>(&value))
        return QString::number(*number);
    return std::get<QString>(value);
}

void TOptions::SetBool(TOptionId id, bool value)
{
    Q_ASSERT(OptionDescriptor(id).Type == otBoolean);
    FValues[id] = value;
}

void TOptions::SetChoice(TOptionId id, int value)
{
    const TOptionDescriptor &d = OptionDescriptor(id);
    Q_ASSERT(d.Type == otChoice);
    FValues[id] = value >= d.Min && value <= d.Max ? value : d.DefaultNumber;
}

void TOptions::SetText(TOptionId id, const QString &value)
{
    Q_ASSERT(OptionDescriptor(id).Type == otText || OptionDescriptor(id).Type == otNumber);
    FValues[id] = value;
}

bool TOptions::AddExtension(const QString &text)
{
    const QString extension = NormalisedExtension(text);
    if (extension.isEmpty() || ContainsIgnoringCase(FExtensions, extension))
        return false;
    FExtensions.append(extension);
    std::sort(FExtensions.begin(), FExtensions.end(), SortsBefore);
    return true;
}

bool TOptions::RemoveExtension(const QString &extension)
{
    return FExtensions.removeOne(extension);
}

void TOptions::SetExtensions(const QStringList &extensions)
{
    FExtensions.clear();
    for (const QString &text : extensions) {
        const QString extension = NormalisedExtension(text);
        if (!extension.isEmpty() && !ContainsIgnoringCase(FExtensions, extension))
            FExtensions.append(extension);
    }
    std::sort(FExtensions.begin(), FExtensions.end(), SortsBefore);
}

void TOptions::AddURL(const QString &url)
{
    if (!url.isEmpty() && !ContainsIgnoringCase(FURLs, url))
        FURLs.prepend(url);
}

void TOptions::SetURLs(const QStringList &urls)
{
    FURLs.clear();
    for (const QString &url : urls) {
        if (!url.isEmpty() && !FURLs.contains(url))
            FURLs.append(url);
    }
}

QString TOptions::SoundToPlay(TOptionId sound) const
{
    Q_ASSERT(sound >= oiConnectSuccessSound && sound <= oiErrorSound);
    return Bool(oiSoundsEnabled) ? Text(sound) : QString();
}

TEngineSettings TOptions::EngineSettings() const
{
    TEngineSettings settings;
    settings.KeepAlive = Bool(oiPing);
    settings.Passive = Bool(oiUsePASV);

    const std::optional<int> seconds = StrictInteger(Text(oiTimeout));
    const int timeout = seconds && *seconds >= 1 ? *seconds : FallbackTimeoutSeconds;
    settings.TimeoutMS = std::min(timeout, INT_MAX / 1000) * 1000;

    if (Bool(oiInfiniteRetry)) {
        settings.RetryCount = 0;
    } else {
        // A typed count is never "without end", which the engine's 0 means: 0 becomes
        // its smallest finite count.
        const std::optional<int> retries = StrictInteger(Text(oiRetries));
        settings.RetryCount = retries && *retries >= 0 ? std::max(*retries, 1) : FallbackRetries;
    }
    return settings;
}

void TOptions::ApplyEngineSettings() const
{
    const TEngineSettings settings = EngineSettings();
    TFTPComponent::KeepAlive = settings.KeepAlive;
    TFTPComponent::TimeoutMS = settings.TimeoutMS;
    TFTPComponent::RetryCount = settings.RetryCount;
    const std::vector<TFTPComponent *> &engines = TFTPComponent::Registry();
    for (auto engine = engines.rbegin(); engine != engines.rend(); ++engine)
        (*engine)->SetPassive(settings.Passive);
}

TTransferSettings TOptions::TransferSettings() const
{
    TTransferSettings settings;
    settings.TransferMode = TransferMode();
    settings.AsciiExtensions.clear();
    for (const QString &extension : FExtensions)
        settings.AsciiExtensions.push_back(extension.toStdString());
    settings.ForceLowerCase = Bool(oiConfirmLowerCase);
    settings.Passive = UsePassive();
    settings.NoTransferOlder = Bool(oiNoXferOlder);
    settings.TryToResume = Choice(oiTryToResume);
    settings.ConfirmRestarts = Bool(oiConfirmRestarts);
    settings.ConfirmOverwrites = Bool(oiConfirmOverwrites);
    settings.PreserveTimeStamp = Bool(oiPreserveTimeStamp);
    settings.FirewallEnabled = Bool(oiFirewallEnabled);
    settings.FirewallType = Choice(oiFirewallType);
    settings.FirewallHost = Text(oiFirewallHost).toStdString();
    settings.FirewallPort = Text(oiFirewallPort).toStdString();
    settings.FirewallUser = Text(oiFirewallUser).toStdString();
    settings.FirewallPassword = Text(oiFirewallPassword).toStdString();
    return settings;
}
