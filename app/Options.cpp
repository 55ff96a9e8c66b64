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
constexpr int OptionsFileMode = 0600;
constexpr int FallbackTimeoutSeconds = 120;
constexpr int FallbackRetries = 3;

const QString FileTypesSection = QStringLiteral("FileTypes");
const QString URLsSection = QStringLiteral("URLs");
const QString ExtensionKey = QStringLiteral("Ext");
const QString URLKey = QStringLiteral("URL");

// Viewer and LogFile take their defaults from the system (DefaultValue).
constexpr std::array<TOptionDescriptor, OptionCount> Descriptors = {{
    {oiEMail, "General", "EMail", otText, 0, "", 0, 0},
    {oiViewer, "General", "Viewer", otText, 0, nullptr, 0, 0},
    {oiLogFile, "General", "LogFile", otText, 0, nullptr, 0, 0},
    {oiLogToFile, "General", "LogToFile", otBoolean, 0, nullptr, 0, 1},
    {oiShowToolTips, "General", "ShowToolTips", otBoolean, 1, nullptr, 0, 1},
    {oiDefaultDir, "General", "DefaultDir", otText, 0, "", 0, 0},
    {oiNoXferOlder, "Advanced", "NoXferOlder", otBoolean, 0, nullptr, 0, 1},
    {oiASCIIOnView, "Advanced", "ASCIIOnView", otBoolean, 1, nullptr, 0, 1},
    {oiPreserveTimeStamp, "Advanced", "PreserveTimeStamp", otBoolean, 1, nullptr, 0, 1},
    {oiConfirmRestarts, "Advanced", "ConfirmRestarts", otBoolean, 1, nullptr, 0, 1},
    {oiConfirmLowerCase, "Advanced", "ConfirmLowerCase", otBoolean, 0, nullptr, 0, 1},
    {oiConfirmOverwrites, "Advanced", "ConfirmOverwrites", otBoolean, 1, nullptr, 0, 1},
    {oiTryToResume, "Advanced", "TryToResume", otChoice, 1, nullptr, 0, 2},
    {oiLocalDblClk, "Advanced", "LocalDblClk", otChoice, 3, nullptr, 0, 3},
    {oiHostDblClk, "Advanced", "HostDblClk", otChoice, 2, nullptr, 0, 3},
    {oiShowManager, "Connection", "ShowManager", otBoolean, 1, nullptr, 0, 1},
    {oiPromptForPass, "Connection", "PromptForPass", otBoolean, 1, nullptr, 0, 1},
    {oiPing, "Connection", "Ping", otBoolean, 1, nullptr, 0, 1},
    {oiUsePASV, "Connection", "UsePASV", otBoolean, 0, nullptr, 0, 1},
    {oiRetries, "Connection", "Retries", otNumber, 3, nullptr, 0, AnyNumber},
    {oiInfiniteRetry, "Connection", "InfiniteRetry", otBoolean, 0, nullptr, 0, 1},
    {oiTimeout, "Connection", "Timeout", otNumber, 90, nullptr, 1, AnyNumber},
    {oiTransferMode, "Connection", "TransferMode", otChoice, 0, nullptr, 0, 4},
    {oiFirewallEnabled, "Firewall", "Enabled", otBoolean, 0, nullptr, 0, 1},
    {oiFirewallType, "Firewall", "Type", otChoice, 0, nullptr, 0, 3},
    {oiFirewallHost, "Firewall", "Host", otText, 0, "", 0, 0},
    {oiFirewallPort, "Firewall", "Port", otText, 0, "21", 0, 0},
    {oiFirewallUser, "Firewall", "User", otText, 0, "", 0, 0},
    {oiFirewallPassword, "Firewall", "Password", otText, 0, "", 0, 0},
    {oiSoundsEnabled, "Sounds", "Enabled", otBoolean, 0, nullptr, 0, 1},
    {oiConnectSuccessSound, "Sounds", "ConnectSuccess", otText, 0, "", 0, 0},
    {oiConnectFailureSound, "Sounds", "ConnectFailure", otText, 0, "", 0, 0},
    {oiDisconnectSound, "Sounds", "Disconnect", otText, 0, "", 0, 0},
    {oiEndOfFileSound, "Sounds", "EndOfFile", otText, 0, "", 0, 0},
    {oiEndOfTotalSound, "Sounds", "EndOfTotal", otText, 0, "", 0, 0},
    {oiErrorSound, "Sounds", "Error", otText, 0, "", 0, 0},
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
    for (const TOptionId id : {oiRetries, oiTimeout}) {
        if (!StrictInteger(Text(id)))
            return QStringLiteral("'%1' is not a valid integer value").arg(Text(id));
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
