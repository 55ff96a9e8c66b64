#include "sites/SiteStore.h"

#include "engine/FTPUtils.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <map>

namespace {

const QString IndexSection = QStringLiteral("Sites");
const QString LastSiteKey = QStringLiteral("LastSite");
const QString NoSite = QStringLiteral("!");
const QString PresetSection = QStringLiteral("Site");
constexpr int PasswordFileMode = 0600;

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool IsEnclosedInQuotes(const QString &value)
{
    return value.size() >= 2 && value.front() == u'"' && value.back() == u'"';
}

QString SiteKey(int number)
{
    return QStringLiteral("Site%1").arg(number);
}

// n for a key "Site<n>" of the index, 0 for any other key.
int SiteKeyNumber(const QString &key)
{
    static const QRegularExpression siteKey(QStringLiteral("^site([1-9]\\d{0,8})$"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = siteKey.match(key);
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

bool SortsBefore(const QString &a, const QString &b)
{
    const int byText = a.compare(b, Qt::CaseInsensitive);
    return byText != 0 ? byText < 0 : a < b;
}

// ---- Passwords ----

bool IsHoldableInProfile(const QString &text)
{
    if (text.isEmpty())
        return true;
    if (IsBlank(text.front()) || IsBlank(text.back()) || IsEnclosedInQuotes(text))
        return false;
    return std::none_of(text.begin(), text.end(),
                        [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
}

QByteArray Scrambled(const QByteArray &bytes)
{
    const std::string result = ScramblePassword(std::string_view(bytes.constData(), bytes.size()));
    return QByteArray(result.data(), qsizetype(result.size()));
}

QString PasswordText(const QByteArray &bytes)
{
    if (std::optional<QString> text = DecodeUtf8(bytes))
        return *std::move(text);
    // Written by an older program in the Windows code page.
    QStringDecoder windows("windows-1252", QStringDecoder::Flag::Stateless);
    if (windows.isValid()) {
        const QString legacy = windows(bytes);
        if (!windows.hasError())
            return legacy;
    }
    return QString::fromLatin1(bytes);
}

// ---- Notes ----

bool NeedsQuotes(const QString &line)
{
    return std::any_of(line.begin(), line.end(), [](QChar c) {
        return c.unicode() <= 0x20 || c.unicode() == 0x7F || c == u'"' || c == u',';
    });
}

// ---- Raw profile values ----

QStringView TrimmedBlanks(QStringView text)
{
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && IsBlank(text.back()))
        text.chop(1);
    return text;
}

// The value of section/key exactly as it stands in the file, enclosing quotes and all.
// The profile layer only gives values with one enclosing pair of quotes removed, and
// the notes' comma text cannot tell whether that happened; the rules for finding the
// line are the profile layer's (first section and first key of the name, letter case
// ignored, blanks trimmed).
std::optional<QString> RawProfileValue(const QString &fileName, const QString &section,
                                       const QString &key)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray data = file.readAll();
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    data.replace("\r\n", "\n");
    data.replace('\r', '\n');

    enum { BeforeSection, InSection, AfterSection } state = BeforeSection;
    for (const QByteArray &raw : data.split('\n')) {
        const QString decoded = DecodeUtf8OrLatin1(raw);
        const QStringView line = TrimmedBlanks(decoded);
        if (line.isEmpty() || line.front() == u';' || line.front() == u'#')
            continue;
        if (line.front() == u'[') {
            const qsizetype close = line.lastIndexOf(u']');
            if (close <= 0)
                continue;
            if (state == InSection)
                return std::nullopt;
            if (state == BeforeSection
                && TrimmedBlanks(line.sliced(1, close - 1)).compare(TrimmedBlanks(section), Qt::CaseInsensitive) == 0)
                state = InSection;
            continue;
        }
        if (state != InSection)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals >= 0 && TrimmedBlanks(line.first(equals)).compare(TrimmedBlanks(key), Qt::CaseInsensitive) == 0)
            return TrimmedBlanks(line.sliced(equals + 1)).toString();
    }
    return std::nullopt;
}

} // namespace

QString StoredPassword(const QString &password)
{
    const QByteArray scrambled = Scrambled(password.toUtf8());
    const QString plain = QString::fromLatin1(scrambled);
    if (IsHoldableInProfile(plain))
        return plain;
    return QChar(PasswordHexMarker) + QString::fromLatin1(scrambled.toHex());
}

QString PasswordFromStored(const QString &stored)
{
    if (stored.startsWith(QChar(PasswordHexMarker))) {
        const QString hex = stored.sliced(1);
        const bool wellFormed = hex.size() % 2 == 0
                                && std::all_of(hex.begin(), hex.end(),
                                               [](QChar c) { return HexDigitValue(c) >= 0; });
        return wellFormed ? PasswordText(Scrambled(QByteArray::fromHex(hex.toLatin1()))) : QString();
    }
    // One character per byte as written here; a line of an old file that happens to be
    // valid UTF-8 comes as decoded text, whose UTF-8 bytes are the file's bytes.
    const bool latin1 = std::all_of(stored.begin(), stored.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    return PasswordText(Scrambled(latin1 ? stored.toLatin1() : stored.toUtf8()));
}

QString NotesToCommaText(const QStringList &lines)
{
    if (lines.size() == 1 && lines.front().isEmpty())
        return QStringLiteral("\"\"");
    QStringList items;
    items.reserve(lines.size());
    for (const QString &line : lines) {
        if (NeedsQuotes(line))
            items.append(u'"' + QString(line).replace(u'"', QStringLiteral("\"\"")) + u'"');
        else
            items.append(line);
    }
    return items.join(u',');
}

QStringList NotesFromCommaText(const QString &text)
{
    QStringList lines;
    if (text.isEmpty())
        return lines;
    const qsizetype size = text.size();
    qsizetype i = 0;
    for (;;) {
        QString line;
        if (text[i] == u'"') {
            for (++i; i < size; ++i) {
                if (text[i] != u'"') {
                    line += text[i];
                } else if (i + 1 < size && text[i + 1] == u'"') {
                    line += u'"';
                    ++i;
                } else {
                    ++i;
                    break;
                }
            }
        }
        // Text after a closing quote, or an item without quotes, up to the next comma.
        while (i < size && text[i] != u',')
            line += text[i++];
        lines.append(line);
        if (i >= size)
            break;
        if (++i == size) {
            lines.append(QString()); // a trailing comma ends with an empty line
            break;
        }
    }
    return lines;
}

QString ProtectedProfileValue(const QString &value)
{
    if (value.isEmpty())
        return value;
    if (IsBlank(value.front()) || IsBlank(value.back()) || IsEnclosedInQuotes(value))
        return u'"' + value + u'"';
    return value;
}

// ---- TSiteStore ----

TSiteStore::TSiteStore(const QString &fileName) : FIni(fileName)
{
    LoadSiteList();
}

QString TSiteStore::DefaultFileName()
{
    return ProgramFilePath(QStringLiteral("Sites.ini"));
}

void TSiteStore::LoadSiteList()
{
    // Every "Site<n>" key in the order of n: an index whose numbers have gaps, or
    // that lacks "LastSite", still lists every site it names.
    std::multimap<int, QString> numbered;
    for (const auto &[key, value] : FIni.ReadSectionValues(IndexSection)) {
        const int number = SiteKeyNumber(key);
        if (number > 0 && !value.isEmpty())
            numbered.emplace(number, value);
    }
    FSites.clear();
    QSet<QString> seen;
    for (const auto &[number, name] : numbered) {
        if (!seen.contains(name.toCaseFolded())) {
            seen.insert(name.toCaseFolded());
            FSites.append(name);
        }
    }
    std::sort(FSites.begin(), FSites.end(), SortsBefore);
}

int TSiteStore::IndexOf(const QString &name) const
{
    for (int i = 0; i < FSites.size(); ++i) {
        if (FSites[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QString TSiteStore::LastSite() const
{
    const QString name = FIni.ReadString(IndexSection, LastSiteKey, NoSite);
    return name == NoSite ? QString() : name;
}

std::optional<TSite> TSiteStore::LoadSite(const QString &name) const
{
    if (name.isEmpty())
        return std::nullopt;
    TSite site;
    site.Name = name;
    site.Host = FIni.ReadString(name, QStringLiteral("Host"), QString());
    site.Port = FIni.ReadInteger(name, QStringLiteral("Port"), 21);
    if (site.Port < 1 || site.Port > 65535)
        site.Port = 21;
    site.Anonymous = FIni.ReadBool(name, QStringLiteral("Anonymous"), false);
    site.UserName = FIni.ReadString(name, QStringLiteral("User"), QStringLiteral("anonymous"));
    // A section without a password has none (not the e-mail address unscrambled).
    site.Password = PasswordFromStored(FIni.ReadString(name, QStringLiteral("Password"), QString()));
    site.HostFolder = FIni.ReadString(name, QStringLiteral("HostFolder"), QString());
    for (int i = 0; i < 3; ++i)
        site.LocalFolders[i] = FIni.ReadString(name, QStringLiteral("LocalFolder%1").arg(i + 1), QString());

    const QString comments = FIni.ReadString(name, QStringLiteral("Comments"), QString());
    const std::optional<QString> raw = RawProfileValue(FileName(), name, QStringLiteral("Comments"));
    const bool rawMatches = raw && (*raw == comments || *raw == u'"' + comments + u'"');
    site.Notes = NotesFromCommaText(rawMatches ? *raw : comments);
    return site;
}

bool TSiteStore::IsValidSiteName(const QString &name)
{
    const QString trimmed = name.trimmed();
    return !trimmed.isEmpty() && !name.contains(u'\n') && !name.contains(u'\r')
           && trimmed.compare(IndexSection, Qt::CaseInsensitive) != 0;
}

bool TSiteStore::SaveSite(const TSite &site)
{
    if (!IsValidSiteName(site.Name))
        return false;
    if (IndexOf(site.Name) < 0) {
        FSites.append(site.Name);
        std::sort(FSites.begin(), FSites.end(), SortsBefore);
    }
    WriteIndex();
    FIni.WriteString(IndexSection, LastSiteKey, ProtectedProfileValue(site.Name));

    const QString &name = site.Name;
    FIni.WriteString(name, QStringLiteral("Host"), ProtectedProfileValue(site.Host));
    FIni.WriteInteger(name, QStringLiteral("Port"), site.Port);
    FIni.WriteBool(name, QStringLiteral("Anonymous"), site.Anonymous);
    FIni.WriteString(name, QStringLiteral("User"), ProtectedProfileValue(site.UserName));
    FIni.WriteString(name, QStringLiteral("Password"), StoredPassword(site.Password));
    FIni.WriteString(name, QStringLiteral("HostFolder"), ProtectedProfileValue(site.HostFolder));
    for (int i = 0; i < 3; ++i)
        FIni.WriteString(name, QStringLiteral("LocalFolder%1").arg(i + 1),
                         ProtectedProfileValue(site.LocalFolders[i]));
    FIni.WriteString(name, QStringLiteral("Comments"), NotesToCommaText(site.Notes));
    return Commit();
}

bool TSiteStore::DeleteSite(const QString &name)
{
    const int index = IndexOf(name);
    if (index < 0 && !FIni.SectionExists(name))
        return true;
    FIni.EraseSection(name);
    if (index >= 0)
        FSites.removeAt(index);
    WriteIndex();
    return Commit();
}

void TSiteStore::WriteIndex()
{
    for (int i = 0; i < FSites.size(); ++i)
        FIni.WriteString(IndexSection, SiteKey(i + 1), ProtectedProfileValue(FSites[i]));
    // Keys beyond the list, also those a hand-edited index left after a gap.
    for (const QString &key : FIni.ReadSection(IndexSection)) {
        if (SiteKeyNumber(key) > FSites.size())
            FIni.DeleteKey(IndexSection, key);
    }
}

bool TSiteStore::Commit()
{
    if (FIni.UpdateFile(PasswordFileMode))
        return true;
    // Keep what is in memory equal to what is on disk.
    FIni.Reload();
    LoadSiteList();
    return false;
}

std::optional<int> TSiteStore::PortFromText(const QString &text)
{
    bool ok = false;
    const int port = text.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

QString TSiteStore::PresetFileName()
{
    return ProgramFilePath(QStringLiteral("Dev/dev.ini"));
}

QString TSiteStore::PresetLogoFileName()
{
    return ProgramFilePath(QStringLiteral("Dev/logo.gif"));
}

std::optional<TPresetSite> TSiteStore::LoadPresetSite(const QString &fileName)
{
    if (!QFileInfo(fileName).isFile())
        return std::nullopt;
    const TIniFile ini(fileName);
    TPresetSite preset;
    preset.Name = ini.ReadString(PresetSection, QStringLiteral("N"), QString());
    preset.Host = ini.ReadString(PresetSection, QStringLiteral("H"), QString());
    preset.Anonymous = ini.ReadBool(PresetSection, QStringLiteral("A"), false);
    if (!preset.Anonymous) {
        preset.UserName = ini.ReadString(PresetSection, QStringLiteral("I"), QString());
        preset.Password = PasswordFromStored(ini.ReadString(PresetSection, QStringLiteral("P"), QString()));
    }
    return preset;
}

bool TSiteStore::SavePresetSite(const QString &fileName, const TPresetSite &preset)
{
    if (!QDir().mkpath(QFileInfo(fileName).absolutePath()))
        return false;
    TIniFile ini(fileName);
    ini.WriteString(PresetSection, QStringLiteral("N"), ProtectedProfileValue(preset.Name));
    ini.WriteString(PresetSection, QStringLiteral("H"), ProtectedProfileValue(preset.Host));
    ini.WriteBool(PresetSection, QStringLiteral("A"), preset.Anonymous);
    if (!preset.Anonymous) {
        ini.WriteString(PresetSection, QStringLiteral("I"), ProtectedProfileValue(preset.UserName));
        ini.WriteString(PresetSection, QStringLiteral("P"), StoredPassword(preset.Password));
    }
    return ini.UpdateFile(PasswordFileMode);
}
