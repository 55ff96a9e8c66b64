#include "platform/Registry.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QtDebug>

#include <algorithm>

namespace {

// "\A\\B\" and "A\B" are the same key: empty components are dropped.
QString NormalizedPath(const QString &path)
{
    return path.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

bool IsBelow(const QString &section, const QString &key)
{
    return section.size() > key.size() && section[key.size()] == u'\\'
           && section.startsWith(key, Qt::CaseInsensitive);
}

// Registry values come back exactly as written. The profile layer trims spaces and
// tabs at the ends and removes one pair of enclosing quotes on reading, so a value that
// would lose either gets one pair of quotes more.
QString Stored(const QString &value)
{
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    const bool blankEnd = !value.isEmpty() && (blank(value.front()) || blank(value.back()));
    const bool enclosed = value.size() >= 2 && value.front() == u'"' && value.back() == u'"';
    return blankEnd || enclosed ? u'"' + value + u'"' : value;
}

} // namespace

const QString TRegistry::HtmlEditorKey = QStringLiteral("Classes\\htmlfile\\shell\\Scrivel\\command");

TRegistry::TRegistry() : TRegistry(DefaultFileName())
{
}

TRegistry::TRegistry(const QString &fileName) : FIni(fileName)
{
}

TRegistry::~TRegistry()
{
    Flush();
}

QString TRegistry::DefaultFileName()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/.config");
    return folder + QStringLiteral("/Velunor Media/ScrivelFerrow.ini");
}

QString TRegistry::ResolvePath(const QString &key) const
{
    if (key.startsWith(u'\\') || FCurrentPath.isEmpty())
        return NormalizedPath(key);
    return NormalizedPath(FCurrentPath + u'\\' + key);
}

bool TRegistry::OpenKey(const QString &key, bool canCreate)
{
    const QString path = ResolvePath(key);
    if (path.isEmpty())
        return false;
    if (!PathExists(path)) {
        if (!canCreate)
            return false;
        FIni.AddSection(path);
    }
    FCurrentPath = path;
    return true;
}

void TRegistry::CloseKey()
{
    Flush();
    FCurrentPath.clear();
}

bool TRegistry::KeyExists(const QString &key) const
{
    return PathExists(ResolvePath(key));
}

bool TRegistry::PathExists(const QString &path) const
{
    if (path.isEmpty())
        return false;
    if (FIni.SectionExists(path))
        return true;
    const QStringList sections = FIni.ReadSections();
    return std::any_of(sections.begin(), sections.end(),
                       [&](const QString &section) { return IsBelow(section, path); });
}

bool TRegistry::DeleteKey(const QString &key)
{
    const QString path = ResolvePath(key);
    if (path.isEmpty())
        return false;
    bool deleted = false;
    for (const QString &section : FIni.ReadSections()) {
        if (section.compare(path, Qt::CaseInsensitive) == 0 || IsBelow(section, path)) {
            FIni.EraseSection(section);
            deleted = true;
        }
    }
    return deleted;
}

QString TRegistry::ReadString(const QString &name, const QString &def) const
{
    if (FCurrentPath.isEmpty())
        return def;
    return FIni.ReadString(FCurrentPath, name, def);
}

int TRegistry::ReadInteger(const QString &name, int def) const
{
    if (FCurrentPath.isEmpty())
        return def;
    return FIni.ReadInteger(FCurrentPath, name, def);
}

bool TRegistry::ReadBool(const QString &name, bool def) const
{
    if (FCurrentPath.isEmpty())
        return def;
    return FIni.ReadBool(FCurrentPath, name, def);
}

bool TRegistry::WriteAllowed(const QString &name) const
{
    if (!FCurrentPath.isEmpty())
        return true;
    qWarning("%s: value \"%s\" not written: no key is open", qUtf8Printable(FileName()),
             qUtf8Printable(name));
    return false;
}

void TRegistry::WriteString(const QString &name, const QString &value)
{
    if (WriteAllowed(name))
        FIni.WriteString(FCurrentPath, name, Stored(value));
}

void TRegistry::WriteInteger(const QString &name, int value)
{
    if (WriteAllowed(name))
        FIni.WriteInteger(FCurrentPath, name, value);
}

void TRegistry::WriteBool(const QString &name, bool value)
{
    if (WriteAllowed(name))
        FIni.WriteBool(FCurrentPath, name, value);
}

bool TRegistry::ValueExists(const QString &name) const
{
    return !FCurrentPath.isEmpty() && FIni.ValueExists(FCurrentPath, name);
}

bool TRegistry::DeleteValue(const QString &name)
{
    if (!ValueExists(name))
        return false;
    FIni.DeleteKey(FCurrentPath, name);
    return true;
}

QStringList TRegistry::GetValueNames() const
{
    if (FCurrentPath.isEmpty())
        return {};
    return FIni.ReadSection(FCurrentPath);
}

QStringList TRegistry::GetKeyNames() const
{
    QStringList names;
    if (FCurrentPath.isEmpty())
        return names;
    QSet<QString> seen;
    for (const QString &section : FIni.ReadSections()) {
        if (!IsBelow(section, FCurrentPath))
            continue;
        const QString name = section.sliced(FCurrentPath.size() + 1).section(u'\\', 0, 0);
        if (!seen.contains(name.toCaseFolded())) {
            seen.insert(name.toCaseFolded());
            names.append(name);
        }
    }
    return names;
}

bool TRegistry::Flush()
{
    if (!FIni.Dirty())
        return true;
    const QString folder = QFileInfo(FileName()).absolutePath();
    if (!QDir().mkpath(folder)) {
        qWarning("%s: cannot create the folder", qUtf8Printable(folder));
        return false;
    }
    return FIni.UpdateFile();
}

QString TRegistry::HtmlEditorCommand() const
{
    return FIni.ReadString(HtmlEditorKey, QString(), QString());
}
