#pragma once

// The site store: the user's FTP sites in a profile file ("Sites.ini" in the program
// folder unless the command line names another), and the optional preset file
// "Dev/dev.ini" with one predefined site. Both files hold passwords and are written
// with mode 0600, each operation at once and atomically.

#include "platform/IniFile.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

// One stored site.
struct TSite
{
    QString Name;
    QString Host;
    int Port = 21;
    // Anonymous login: the user "anonymous" with the e-mail option as password. The
    // stored UserName and Password are kept but not used for such a site.
    bool Anonymous = false;
    QString UserName = QStringLiteral("anonymous");
    QString Password;
    QString HostFolder;
    std::array<QString, 3> LocalFolders;
    QStringList Notes; // one entry per line
};

// The predefined site of the preset file; it has no port, folders or notes.
struct TPresetSite
{
    QString Name;
    QString Host;
    bool Anonymous = false;
    QString UserName; // stored only when not anonymous
    QString Password; // stored only when not anonymous
};

class TSiteStore
{
public:
    // Opens the store; a missing file is an empty store.
    explicit TSiteStore(const QString &fileName);

    // "Sites.ini" in the program folder.
    static QString DefaultFileName();
    const QString &FileName() const { return FIni.FileName(); }

    // Reads the site index again; the names come sorted without regard to case.
    void LoadSiteList();
    const QStringList &Sites() const { return FSites; }
    // Position of a name in Sites(), letter case ignored; -1 when absent.
    int IndexOf(const QString &name) const;
    // The site saved last, as stored; it may name a site that no longer exists.
    QString LastSite() const;
    // Position of LastSite() in Sites(); -1 when there is none.
    int LastSiteIndex() const { return IndexOf(LastSite()); }

    // The stored site; missing keys read as their defaults. Nothing for an empty name.
    std::optional<TSite> LoadSite(const QString &name) const;

    // A site name must be usable as a section name and must not be the index itself.
    static bool IsValidSiteName(const QString &name);

    // Adds the site to the index when new (letter case ignored), makes it the last
    // site and writes all its keys. False, and nothing written, for an invalid name or
    // when the file cannot be written.
    bool SaveSite(const TSite &site);
    // Removes the site's section and its index entry; the last site stays as it was.
    bool DeleteSite(const QString &name);

    // A port typed into a field: a whole number from 1 to 65535.
    static std::optional<int> PortFromText(const QString &text);

    // "Dev/dev.ini" in the program folder, and its logo beside it.
    static QString PresetFileName();
    static QString PresetLogoFileName();
    // The preset site; nothing when the file does not exist.
    static std::optional<TPresetSite> LoadPresetSite(const QString &fileName);
    // Creates the file and its folder when missing.
    static bool SavePresetSite(const QString &fileName, const TPresetSite &preset);

private:
    // Site1 ... SiteN from the list; no other numbered key is left.
    void WriteIndex();
    bool Commit();

    TIniFile FIni;
    QStringList FSites;
};

// The stored form of a password: the scrambled bytes of its UTF-8 text, one character
// per byte. When those characters cannot be kept in a profile value (line breaks and
// other control characters, blanks at either end, enclosing double quotes), the form
// is instead PasswordHexMarker followed by the scrambled bytes in hexadecimal.
QString StoredPassword(const QString &password);
QString PasswordFromStored(const QString &stored);
// A character outside Latin-1 (so no value of one character per byte starts with it)
// whose UTF-8 bytes unscramble to a carriage return, which no password typed into a
// single-line field holds: even the raw bytes of an old file never start with it.
inline constexpr char16_t PasswordHexMarker = u'\u03A9';

// Notes as one profile value: the lines joined with ','; a line holding a blank, a
// control character, a double quote or a comma is enclosed in double quotes with its
// quotes doubled; one empty line alone is written as two double quotes.
QString NotesToCommaText(const QStringList &lines);
// The reverse, from the value as it stands in the file (its enclosing quotes intact).
QStringList NotesFromCommaText(const QString &text);

// A value that a profile file gives back exactly as written: text with blanks at either
// end or enclosed in double quotes gets one more pair of quotes, which reading removes.
QString ProtectedProfileValue(const QString &value);
