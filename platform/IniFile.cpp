#include "platform/IniFile.h"

#include "platform/TextCodec.h"

#include <QFile>
#include <QSaveFile>
#include <QSet>
#include <QtDebug>

#include <limits>
#include <optional>

namespace {

const QByteArray Utf8Bom("\xEF\xBB\xBF");

bool IsBlankChar(QChar c)
{
    return c == u' ' || c == u'\t';
}

// Only spaces and tabs: other white space (a no-break space, say) belongs to the value.
QStringView Trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlankChar(text[begin]))
        ++begin;
    while (end > begin && IsBlankChar(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

bool IsBlankLine(const QByteArray &raw)
{
    for (const char c : raw) {
        if (c != ' ' && c != '\t')
            return false;
    }
    return true;
}

bool SameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct TParsedLine
{
    enum TKind { lkOther, lkHeader, lkPair } Kind = lkOther;
    QString Name;   // section name of a header, key of a pair
    QString Value;  // trimmed value of a pair
};

TParsedLine ParseLine(const QByteArray &raw)
{
    const QString text = DecodeUtf8OrLatin1(raw);
    const QStringView line = Trimmed(text);
    TParsedLine parsed;
    if (line.isEmpty() || line[0] == u';' || line[0] == u'#')
        return parsed;
    if (line[0] == u'[') {
        // The last ']' closes the name, so a name may itself hold ']'.
        const qsizetype close = line.lastIndexOf(u']');
        if (close > 0) {
            parsed.Kind = TParsedLine::lkHeader;
            parsed.Name = Trimmed(line.sliced(1, close - 1)).toString();
        }
        return parsed;
    }
    const qsizetype equals = line.indexOf(u'=');
    if (equals < 0)
        return parsed;
    parsed.Kind = TParsedLine::lkPair;
    parsed.Name = Trimmed(line.first(equals)).toString();
    parsed.Value = Trimmed(line.sliced(equals + 1)).toString();
    return parsed;
}

QString Unquoted(const QString &value)
{
    if (value.size() >= 2 && value.front() == u'"' && value.back() == u'"')
        return value.sliced(1, value.size() - 2);
    return value;
}

std::optional<int> ParseInteger(QStringView text)
{
    text = Trimmed(text);
    if (text.size() > 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        // Hexadecimal covers the whole 32 bits, as the classic profile API reads it.
        quint64 value = 0;
        for (const QChar c : text.sliced(2)) {
            const int digit = HexDigitValue(c);
            if (digit < 0)
                return std::nullopt;
            value = value * 16 + quint64(digit);
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
        }
        return int(quint32(value));
    }
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'-' || text[0] == u'+')) {
        negative = text[0] == u'-';
        text = text.sliced(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

bool HasLineBreak(QStringView text)
{
    return text.contains(u'\n') || text.contains(u'\r');
}

bool IsWritableKey(QStringView key)
{
    if (HasLineBreak(key) || key.contains(u'='))
        return false;
    return key.isEmpty() || (key[0] != u'[' && key[0] != u';' && key[0] != u'#');
}

QFileDevice::Permissions ToPermissions(int mode)
{
    QFileDevice::Permissions result;
    const std::pair<int, QFileDevice::Permission> bits[] = {
        {0400, QFileDevice::ReadOwner},  {0200, QFileDevice::WriteOwner},
        {0100, QFileDevice::ExeOwner},   {0040, QFileDevice::ReadGroup},
        {0020, QFileDevice::WriteGroup}, {0010, QFileDevice::ExeGroup},
        {0004, QFileDevice::ReadOther},  {0002, QFileDevice::WriteOther},
        {0001, QFileDevice::ExeOther},
    };
    for (const auto &[bit, permission] : bits) {
        if (mode & bit)
            result |= permission;
    }
    return result;
}

} // namespace

TIniFile::TIniFile(QString fileName) : FFileName(std::move(fileName))
{
    Load();
}

TIniFile::TSection *TIniFile::FindSection(const QString &section)
{
    const QStringView name = Trimmed(section);
    for (TSection &s : FSections) {
        if (SameName(s.Name, name))
            return &s;
    }
    return nullptr;
}

const TIniFile::TSection *TIniFile::FindSection(const QString &section) const
{
    return const_cast<TIniFile *>(this)->FindSection(section);
}

const TIniFile::TLine *TIniFile::FindPair(const QString &section, const QString &key) const
{
    const TSection *s = FindSection(section);
    if (!s)
        return nullptr;
    const QStringView name = Trimmed(key);
    for (const TLine &line : s->Lines) {
        if (line.IsPair && SameName(line.Key, name))
            return &line;
    }
    return nullptr;
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &def) const
{
    const TLine *line = FindPair(section, key);
    return line ? Unquoted(line->Value) : def;
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int def) const
{
    const TLine *line = FindPair(section, key);
    if (!line)
        return def;
    return ParseInteger(Unquoted(line->Value)).value_or(def);
}

bool TIniFile::ReadBool(const QString &section, const QString &key, bool def) const
{
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QString sectionName = Trimmed(section).toString();
    const QString keyName = Trimmed(key).toString();
    if (HasLineBreak(sectionName)) {
        qWarning("%s: section name with a line break not written", qUtf8Printable(FFileName));
        return;
    }
    if (!IsWritableKey(keyName)) {
        qWarning("%s: key \"%s\" cannot be written to a profile file", qUtf8Printable(FFileName),
                 qUtf8Printable(keyName));
        return;
    }
    QString text = value;
    text.replace(u'\r', u' ').replace(u'\n', u' ');

    TSection *s = FindSection(sectionName);
    if (!s)
        s = &AppendSection(sectionName);
    for (TLine &line : s->Lines) {
        if (!line.IsPair || !SameName(line.Key, keyName))
            continue;
        // An unchanged value keeps the line's bytes, whatever their encoding.
        if (line.Value == text)
            return;
        line.Raw = (line.Key + u'=' + text).toUtf8();
        line.Value = Trimmed(text).toString();
        FDirty = true;
        return;
    }
    // After the section's last non-blank line, so the blank line before the next
    // section stays where it is.
    auto at = s->Lines.end();
    while (at != s->Lines.begin() && IsBlankLine((at - 1)->Raw))
        --at;
    s->Lines.insert(at, TLine{(keyName + u'=' + text).toUtf8(), keyName, Trimmed(text).toString(), true});
    FDirty = true;
}

void TIniFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool TIniFile::SectionExists(const QString &section) const
{
    return FindSection(section) != nullptr;
}

bool TIniFile::ValueExists(const QString &section, const QString &key) const
{
    return FindPair(section, key) != nullptr;
}

QStringList TIniFile::ReadSections() const
{
    QStringList names;
    QSet<QString> seen;
    for (const TSection &s : FSections) {
        if (!seen.contains(s.Name.toCaseFolded())) {
            seen.insert(s.Name.toCaseFolded());
            names.append(s.Name);
        }
    }
    return names;
}

QStringList TIniFile::ReadSection(const QString &section) const
{
    QStringList keys;
    for (const auto &pair : ReadSectionValues(section))
        keys.append(pair.first);
    return keys;
}

std::vector<std::pair<QString, QString>> TIniFile::ReadSectionValues(const QString &section) const
{
    std::vector<std::pair<QString, QString>> pairs;
    const TSection *s = FindSection(section);
    if (!s)
        return pairs;
    QSet<QString> seen;
    for (const TLine &line : s->Lines) {
        if (!line.IsPair || seen.contains(line.Key.toCaseFolded()))
            continue;
        seen.insert(line.Key.toCaseFolded());
        pairs.emplace_back(line.Key, Unquoted(line.Value));
    }
    return pairs;
}

void TIniFile::AddSection(const QString &section)
{
    const QString name = Trimmed(section).toString();
    if (HasLineBreak(name)) {
        qWarning("%s: section name with a line break not written", qUtf8Printable(FFileName));
        return;
    }
    if (!FindSection(name))
        AppendSection(name);
}

TIniFile::TSection &TIniFile::AppendSection(const QString &name)
{
    // A blank line before the new header, unless there is one already.
    std::vector<TLine> &last = FSections.empty() ? FPreamble : FSections.back().Lines;
    const QByteArray *lastLine = !last.empty()          ? &last.back().Raw
                                 : !FSections.empty()   ? &FSections.back().Header
                                                        : nullptr;
    if (lastLine && !IsBlankLine(*lastLine))
        last.push_back(TLine{});
    FSections.push_back(TSection{name, (u'[' + name + u']').toUtf8(), {}});
    FDirty = true;
    return FSections.back();
}

void TIniFile::EraseSection(const QString &section)
{
    const QStringView name = Trimmed(section);
    // Every section of that name, so that no later duplicate comes to light.
    const auto erased = std::erase_if(FSections, [&](const TSection &s) { return SameName(s.Name, name); });
    if (erased > 0)
        FDirty = true;
}

void TIniFile::DeleteKey(const QString &section, const QString &key)
{
    TSection *s = FindSection(section);
    if (!s)
        return;
    const QStringView name = Trimmed(key);
    const auto erased = std::erase_if(s->Lines, [&](const TLine &line) {
        return line.IsPair && SameName(line.Key, name);
    });
    if (erased > 0)
        FDirty = true;
}

void TIniFile::Reload()
{
    Load();
}

void TIniFile::Load()
{
    FPreamble.clear();
    FSections.clear();
    FLineEnd = "\n";
    FHasBom = false;
    FDirty = false;
    FLoadFailed = false;
    if (FFileName.isEmpty())
        return;

    QFile file(FFileName);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        FLoadFailed = true;
        qWarning("%s: cannot read: %s", qUtf8Printable(FFileName), qUtf8Printable(file.errorString()));
        return;
    }
    // No profile is anywhere near this size: a larger file is not one of ours, or is
    // damaged, and reading it would cost gigabytes of memory. It is read as empty, and
    // left alone by UpdateFile.
    const auto refuseTooLarge = [this] {
        FLoadFailed = true;
        qWarning("%s: not read: it is larger than %lld MiB; defaults are used and the file is left as it is",
                 qUtf8Printable(FFileName), static_cast<long long>(MaxFileSize / (1024 * 1024)));
    };
    if (file.size() > MaxFileSize)
        return refuseTooLarge();
    QByteArray data = file.read(MaxFileSize + 1); // the file may have grown since
    if (data.size() > MaxFileSize)
        return refuseTooLarge();
    if (file.error() != QFileDevice::NoError) {
        FLoadFailed = true;
        qWarning("%s: cannot read: %s", qUtf8Printable(FFileName), qUtf8Printable(file.errorString()));
        return;
    }
    if (data.startsWith(Utf8Bom)) {
        FHasBom = true;
        data.remove(0, Utf8Bom.size());
    }

    const auto addLine = [this](QByteArray raw) {
        const TParsedLine parsed = ParseLine(raw);
        if (parsed.Kind == TParsedLine::lkHeader) {
            FSections.push_back(TSection{parsed.Name, std::move(raw), {}});
            return;
        }
        std::vector<TLine> &lines = FSections.empty() ? FPreamble : FSections.back().Lines;
        lines.push_back(TLine{std::move(raw), parsed.Name, parsed.Value,
                              parsed.Kind == TParsedLine::lkPair});
    };

    // LF, CR LF and a lone CR all end a line; the first one seen is used on rewrite.
    bool lineEndSeen = false;
    qsizetype start = 0;
    const qsizetype size = data.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data[i];
        if (c != '\n' && c != '\r')
            continue;
        const bool crlf = c == '\r' && i + 1 < size && data[i + 1] == '\n';
        addLine(data.sliced(start, i - start));
        if (!lineEndSeen) {
            FLineEnd = crlf ? QByteArray("\r\n") : QByteArray(1, c);
            lineEndSeen = true;
        }
        if (crlf)
            ++i;
        start = i + 1;
    }
    if (start < size)
        addLine(data.sliced(start));
}

QByteArray TIniFile::Serialize() const
{
    QByteArray out;
    if (FHasBom)
        out += Utf8Bom;
    const auto put = [&](const QByteArray &line) {
        out += line;
        out += FLineEnd;
    };
    for (const TLine &line : FPreamble)
        put(line.Raw);
    for (const TSection &s : FSections) {
        put(s.Header);
        for (const TLine &line : s.Lines)
            put(line.Raw);
    }
    return out;
}

bool TIniFile::UpdateFile(int permissions)
{
    if (FLoadFailed) {
        qWarning("%s: not saved, because it could not be read", qUtf8Printable(FFileName));
        return false;
    }
    if (FFileName.isEmpty())
        return false;
    if (!FDirty) {
        if (permissions >= 0 && QFile::exists(FFileName))
            return QFile::setPermissions(FFileName, ToPermissions(permissions));
        return true;
    }

    QSaveFile file(FFileName);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("%s: cannot save: %s", qUtf8Printable(FFileName), qUtf8Printable(file.errorString()));
        return false;
    }
    // Before the first byte, so a password is never readable by others, not even in
    // the temporary file.
    if (permissions >= 0 && !file.setPermissions(ToPermissions(permissions))) {
        qWarning("%s: cannot set permissions: %s", qUtf8Printable(FFileName),
                 qUtf8Printable(file.errorString()));
        file.cancelWriting();
        return false;
    }
    // QSaveFile misses a short write (a full disk) in the flush that commit() does
    // itself, and would commit a truncated file; so the flush is checked here.
    const QByteArray data = Serialize();
    if (file.write(data) != data.size() || !file.flush()) {
        qWarning("%s: cannot save: the file could not be written in full (is the disk full?)",
                 qUtf8Printable(FFileName));
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qWarning("%s: cannot save: %s", qUtf8Printable(FFileName), qUtf8Printable(file.errorString()));
        return false;
    }
    FDirty = false;
    return true;
}
