#pragma once
// The settings file: an INI text file edited the way the classic profile
// functions edit one. Keys keep their order and their place, a new key goes to
// the end of its section, a new section to the end of the file, and nothing is
// ever deleted; other sections, unknown keys, comments and blank lines are
// kept byte for byte, and so is every value that a write leaves as it reads
// (Windows-1251 bytes of an older installation, invalid UTF-8). The file is
// loaded and split into sections once; the keys of a section are indexed on
// its first use; writes are kept as edits and the file is written back whole
// by Save().
//
// Lines end in LF, CR LF or a lone CR; a UTF-8 byte-order mark at the start
// is skipped. Of two sections or two keys of the same name (ignoring case),
// the first one counts.

#include <QByteArray>
#include <QHash>
#include <QString>

#include <map>
#include <vector>

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
    // The value as a decimal integer; `def` when it is missing or no integer
    // (a number beyond 32 bits included).
    int ReadInteger(const QString& section, const QString& key, int def) const;

    // Replaces the key's value in place, or adds the key at the end of its
    // section (the section at the end of the file when it is new). A value
    // that reads back as the stored one already does leaves the line's bytes
    // as they are. Line breaks in the value become blanks, so a value can
    // never add lines of its own.
    void WriteString(const QString& section, const QString& key, const QString& value);

    // True when the text differs from the file as loaded.
    bool Changed() const;

    // Writes the whole text to a temporary file in the same folder, flushes it
    // to the disk and renames it over the old file; creates the folder when
    // missing. Nothing is written when nothing has changed. Throws EFileError
    // "Unable to write to <path>" on any failure, and for a file that is not
    // to be written: one that could not be read, or a read-only one (no write
    // permission bit, the operator's way to lock the settings, or a read-only
    // file system); the old file is left as it was.
    void Save();

    // The text as Save() would write it.
    QByteArray Contents() const;

    // Removes the temporary files that saves of the settings file at path
    // left when their program was killed; a save still running (in another
    // copy of the program) holds its file's lock and is left alone.
    static int RemoveLeftovers(const QString& path);

private:
    struct Line {
        qsizetype begin = 0; // first byte
        qsizetype end = 0;   // end of the text, line break excluded
        qsizetype next = 0;  // first byte of the next line
    };
    struct KeyLine {
        qsizetype begin = 0;      // first byte of the line's text
        qsizetype end = 0;        // end of the text
        qsizetype valueBegin = 0; // first byte after "="
    };
    // A key this program adds to a section.
    struct AddedKey {
        QString folded;
        QByteArray key;
        QByteArray value;
    };
    struct Section {
        QByteArray name;         // header text, for new sections
        bool fromFile = true;    // false: added by this program at the end
        qsizetype bodyBegin = 0; // first byte after the header line
        qsizetype bodyEnd = 0;   // first byte of the next header, or the end
        // Filled on the section's first use.
        bool indexed = false;
        QHash<QString, KeyLine> keys; // folded key name -> its first line
        qsizetype appendAt = 0;       // after the last line that is not blank
        std::vector<AddedKey> added;
    };

    Line LineAt(qsizetype pos) const;
    void Parse();
    Section* FindSection(const QString& section) const;
    void Index(Section& section) const;
    QString Decoded(qsizetype begin, qsizetype end) const;
    QByteArray LineBreak() const;
    void Rebase(QByteArray contents);

    QString path_;
    QByteArray data_;
    bool unreadable_ = false;
    // Parsed once; the key index of a section is made on its first use.
    mutable std::vector<Section> sections_;
    QHash<QString, qsizetype> sectionIndex_; // folded name -> first section
    // Replaced key lines: first byte of the line -> (end of its text, new text).
    std::map<qsizetype, std::pair<qsizetype, QByteArray>> replaced_;
};

} // namespace zir
