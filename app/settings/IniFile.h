#pragma once
// The settings file: an INI text file edited the way the classic profile
// functions edit one. Keys keep their order and their place, a new key goes to
// the end of its section, a new section to the end of the file, and nothing is
// ever deleted; other sections, unknown keys, comments and blank lines are
// kept byte for byte. The file is loaded once, edited in memory and written
// back whole by Save().

#include <QByteArray>
#include <QString>

namespace zir {

class IniFile {
public:
    // At most this many characters of a value come back from a read.
    static constexpr qsizetype MaxValueLength = 2047;
    // A larger file is treated as unreadable rather than loaded.
    static constexpr qint64 MaxFileSize = 64ll * 1024 * 1024;

    explicit IniFile(QString path);

    const QString& Path() const { return path_; }

    // Loads the file. A missing file is an empty one. A file that exists but
    // cannot be read (no permission, a folder in its place, too large) reads
    // as empty, and Save() then refuses to replace it.
    void Load();
    bool Unreadable() const { return unreadable_; }

    // The value of the key, blanks around it removed and one enclosing pair of
    // double or single quotation marks taken off; `def` when the section or
    // the key is missing. Sections and keys match ignoring case.
    QString ReadString(const QString& section, const QString& key, const QString& def) const;
    // The value as a decimal integer; `def` when it is missing or no integer.
    int ReadInteger(const QString& section, const QString& key, int def) const;

    // Replaces the key's value in place, or adds the key at the end of its
    // section (the section at the end of the file when it is new). Line breaks
    // in the value become blanks, so a value can never add lines of its own.
    void WriteString(const QString& section, const QString& key, const QString& value);

    // Writes the whole text to a temporary file in the same folder, flushes it
    // to the disk and renames it over the old file; creates the folder when
    // missing. Throws EFileError "Unable to write to <path>" on any failure,
    // leaving the old file as it was.
    void Save() const;

    const QByteArray& Contents() const { return data_; }

private:
    struct Line {
        qsizetype begin = 0;  // first byte
        qsizetype end = 0;    // end of the text, line break excluded
        qsizetype next = 0;   // first byte of the next line
    };
    struct SectionRange {
        bool found = false;
        qsizetype bodyBegin = 0;  // first byte after the header line
        qsizetype bodyEnd = 0;    // first byte of the next header, or the end
    };
    struct KeyLine {
        bool found = false;
        Line line;
        qsizetype valueBegin = 0;  // first byte after "="
    };

    Line LineAt(qsizetype pos) const;
    SectionRange FindSection(const QString& section) const;
    KeyLine FindKey(const SectionRange& range, const QString& key) const;
    QByteArray LineBreak() const;

    QString path_;
    QByteArray data_;
    bool unreadable_ = false;
};

} // namespace zir
