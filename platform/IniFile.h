#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

// A profile (INI) file: [Section] headers and Key=Value lines. Sections and keys are
// found without regard to case; one pair of double quotes enclosing a whole value is
// removed on reading; values are written as they are. Changes stay in memory until
// UpdateFile(), which writes through a temporary file and a rename, so a crash never
// leaves half a file. A missing or unreadable file reads as empty; lines that are
// neither a header nor a pair are kept as they were but never read as values.
//
// Encoding: files are UTF-8. Every line keeps the bytes it was read with and is written
// back byte for byte unless its value is changed, so text in another encoding survives
// a rewrite. For reading, a line that is not valid UTF-8 is taken as Latin-1.
//
// Around keys, values and section names only spaces and tabs are trimmed. The first '='
// of a line splits key and value; a line "=value" holds the empty key. When a section or
// key occurs twice, the first occurrence is the one read and written.
//
// Not thread-safe: one object belongs to one thread at a time.
class TIniFile
{
public:
    // A larger file is refused: read as empty and never written over.
    static constexpr qint64 MaxFileSize = 16 * 1024 * 1024;

    explicit TIniFile(QString fileName);

    const QString &FileName() const { return FFileName; }

    QString ReadString(const QString &section, const QString &key, const QString &def) const;
    // Decimal or "0x" hexadecimal (the whole value, optionally signed); anything else,
    // or a number out of range, gives `def`.
    int ReadInteger(const QString &section, const QString &key, int def) const;
    // True for any non-zero integer; a value that is no integer gives `def`.
    bool ReadBool(const QString &section, const QString &key, bool def) const;

    // Line breaks in a value are written as spaces, so a value can never add lines.
    // A section name with a line break, or a key that could not be read back (holding
    // '=' or a line break, or starting with '[', ';' or '#') is refused with a warning.
    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);

    bool SectionExists(const QString &section) const;
    bool ValueExists(const QString &section, const QString &key) const;
    QStringList ReadSections() const;
    QStringList ReadSection(const QString &section) const;                         // keys
    // The section's pairs in file order, each key once, values as ReadString gives them.
    std::vector<std::pair<QString, QString>> ReadSectionValues(const QString &section) const; // pairs
    // Adds an empty section when there is none of that name.
    void AddSection(const QString &section);
    void EraseSection(const QString &section);
    void DeleteKey(const QString &section, const QString &key);

    // Re-reads the file from disk, dropping unsaved changes.
    void Reload();
    // Writes the file atomically; `permissions` (e.g. 0600) applies to a newly created
    // file and is enforced on the result. Returns false and leaves the old file whole
    // when writing fails, and also when the file exists but could not be read, so that
    // its content is never replaced by what little this object knows.
    bool UpdateFile(int permissions = -1);
    bool Dirty() const { return FDirty; }
    // True when the file exists but could not be read at the last (re)load, or was
    // larger than MaxFileSize.
    bool LoadFailed() const { return FLoadFailed; }

private:
    struct TLine
    {
        QByteArray Raw;  // bytes as read or last written, without the line end
        QString Key;     // trimmed key; meaningful only for pairs
        QString Value;   // trimmed value, quotes not removed
        bool IsPair = false;
    };
    struct TSection
    {
        QString Name;
        QByteArray Header;  // header line as read
        std::vector<TLine> Lines;
    };

    TSection *FindSection(const QString &section);
    const TSection *FindSection(const QString &section) const;
    const TLine *FindPair(const QString &section, const QString &key) const;
    TSection &AppendSection(const QString &name);
    void Load();
    QByteArray Serialize() const;

    QString FFileName;
    std::vector<TLine> FPreamble;   // lines before the first section
    std::vector<TSection> FSections;
    QByteArray FLineEnd = "\n";     // the file's own line end, kept on rewrite
    bool FHasBom = false;
    bool FDirty = false;
    bool FLoadFailed = false;
};
