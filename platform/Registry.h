#pragma once

#include "platform/IniFile.h"

#include <QString>
#include <QStringList>

// The program's registry values, kept in the profile file "ScrivelFerrow.ini" of the
// user's config folder. A key path such as "\Software\Velunor Media\ScrivelFerrow\Columns"
// is the name of a section (without the leading backslash) and each value is a pair in
// it; every value is stored as text and reads back exactly as written (a value with
// blanks at its ends or enclosed in double quotes is stored in one more pair of quotes,
// which reading removes). Line breaks in a value are stored as spaces. Key paths are found without regard to case. A key
// exists when it has a section of its own or any key below it has one.
//
// Like the classic registry object: open a key, read and write its values, close it.
// A path that starts with '\' is absolute; any other is taken below the open key.
// Changes are written, atomically, on CloseKey(), Flush() and destruction.
class TRegistry
{
public:
    // The user's file.
    TRegistry();
    explicit TRegistry(const QString &fileName);
    ~TRegistry();
    TRegistry(const TRegistry &) = delete;
    TRegistry &operator=(const TRegistry &) = delete;

    // The section holding the HTML editor's command in its empty-named value.
    static const QString HtmlEditorKey;
    // "<config folder>/Velunor Media/ScrivelFerrow.ini".
    static QString DefaultFileName();

    const QString &FileName() const { return FIni.FileName(); }
    // The open key without leading backslash; empty when none is open.
    const QString &CurrentPath() const { return FCurrentPath; }

    // Opens the key, creating it when `canCreate` is set. When it fails the open key
    // stays as it was.
    bool OpenKey(const QString &key, bool canCreate);
    void CloseKey();
    bool KeyExists(const QString &key) const;
    // Deletes the key with all keys below it.
    bool DeleteKey(const QString &key);

    // With no key open, reads give their defaults and writes are refused.
    QString ReadString(const QString &name, const QString &def = QString()) const;
    // Decimal text; the default when the value is missing or no number.
    int ReadInteger(const QString &name, int def) const;
    bool ReadBool(const QString &name, bool def) const;
    void WriteString(const QString &name, const QString &value);
    void WriteInteger(const QString &name, int value);
    void WriteBool(const QString &name, bool value);
    bool ValueExists(const QString &name) const;
    bool DeleteValue(const QString &name);
    QStringList GetValueNames() const;
    // Names of the keys directly below the open key.
    QStringList GetKeyNames() const;

    // Writes pending changes now; false when the file could not be written.
    bool Flush();

    // The registered HTML editor's command line; empty when none is registered.
    QString HtmlEditorCommand() const;

private:
    // A full path, without leading backslash, from a path as the caller gives it.
    QString ResolvePath(const QString &key) const;
    bool PathExists(const QString &path) const;
    bool WriteAllowed(const QString &name) const;

    TIniFile FIni;
    QString FCurrentPath;
};
