#include "app/settings/IniFile.h"

#include "core/Errors.h"
#include "core/SystemIo.h"
#include "core/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace zir {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }
bool IsBreak(char c) { return c == '\n' || c == '\r'; }

// [begin, end) without the blanks at either side.
void TrimRange(const QByteArray& data, qsizetype& begin, qsizetype& end) { TrimBounds(data, begin, end, IsBlank); }

// The text of the bytes. A byte order mark there (a value may begin with
// one) is a character like any other: the decoder would drop it.
QString TextOf(const char* bytes, qsizetype size) {
    QStringDecoder decode(QStringDecoder::Utf8,
                          QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decode(QByteArrayView(bytes, size));
}

// Names match ignoring case: the folded form is the index key.
QString Folded(const char* bytes, qsizetype size) { return TextOf(bytes, size).toCaseFolded(); }
QString Folded(const QString& name) { return name.toCaseFolded(); }

// The first `c` in [begin, end), or end.
qsizetype FindIn(const QByteArray& data, qsizetype begin, qsizetype end, char c) {
    if (begin >= end) return end;
    const void* found = std::memchr(data.constData() + begin, c, static_cast<std::size_t>(end - begin));
    return found ? static_cast<const char*>(found) - data.constData() : end;
}

// One enclosing pair of matching quotation marks comes off, as the profile
// functions do when they read a value.
QString WithoutEnclosingQuotes(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first) return value.mid(1, value.size() - 2);
    }
    return value;
}

QString Truncated(QString value) {
    if (value.size() <= IniFile::MaxValueLength) return value;
    qsizetype length = IniFile::MaxValueLength;
    if (value[length - 1].isHighSurrogate()) --length; // never half a character
    value.truncate(length);
    return value;
}

// What a read gives for the value bytes [begin, end) of `bytes`.
QString DecodedValue(const QByteArray& bytes, qsizetype begin, qsizetype end) {
    TrimRange(bytes, begin, end);
    return Truncated(WithoutEnclosingQuotes(TextOf(bytes.constData() + begin, end - begin)));
}

QByteArray WithLineBreaksAsBlanks(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
}

bool EndsWithBreak(const QByteArray& text) { return !text.isEmpty() && IsBreak(text.back()); }

// Whether the last line of a text that ends with a line break holds only blanks.
bool LastLineBlank(const QByteArray& text) {
    qsizetype end = text.size();
    if (end > 0 && text[end - 1] == '\n') --end;
    if (end > 0 && text[end - 1] == '\r') --end;
    qsizetype begin = end;
    while (begin > 0 && !IsBreak(text[begin - 1])) --begin;
    TrimRange(text, begin, end);
    return begin >= end;
}

// A link is followed, so that a settings file kept elsewhere through a link
// stays there and the link stays a link.
QString ResolvedTarget(const QString& path) {
    QString target = path;
    for (int depth = 0; depth < 16; ++depth) {
        const QFileInfo info(target);
        if (!info.isSymLink()) break;
        target = info.symLinkTarget();
    }
    return target;
}

// An existing file that is not to be written: no write permission bit at all
// (honoured for root too, who could write it anyway), or no write access.
bool ReadOnlyFile(const QByteArray& name) {
    struct stat info {};
    if (::stat(name.constData(), &info) != 0) return false; // missing: it is created
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return true;
    return ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0;
}

void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd); // best effort: the rename itself has already happened
    ::close(fd);
}

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path)) {}

void IniFile::Load() {
    unreadable_ = false;
    Rebase(QByteArray());
    const QFileInfo info(path_);
    if (!info.exists()) return; // a missing file, or a link to one, is empty
    if (!info.isFile() || info.size() > MaxFileSize) {
        unreadable_ = true; // a folder, a device, a pipe, or far too large
        return;
    }
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable_ = true;
        return;
    }
    // As much as the file holds, and one byte more to see one that has grown
    // past the limit since: asking for the limit itself would reserve 64 MB
    // at every load.
    QByteArray data = file.read(std::min(file.size(), MaxFileSize) + 1);
    if (file.error() != QFileDevice::NoError || data.size() > MaxFileSize) {
        unreadable_ = true;
        return;
    }
    Rebase(std::move(data));
}

void IniFile::Rebase(QByteArray contents) {
    data_ = std::move(contents);
    replaced_.clear();
    Parse();
}

IniFile::Line IniFile::LineAt(qsizetype pos) const {
    Line line;
    line.begin = pos;
    const char* data = data_.constData();
    const qsizetype size = data_.size();
    qsizetype end = pos;
    while (end < size && !IsBreak(data[end])) ++end;
    line.end = end;
    if (end == size) {
        line.next = size;
    } else {
        line.next = data[end] == '\r' && end + 1 < size && data[end + 1] == '\n' ? end + 2 : end + 1;
    }
    if (pos == 0 && data_.startsWith("\xEF\xBB\xBF")) line.begin = std::min<qsizetype>(3, line.end); // byte order mark
    return line;
}

void IniFile::Parse() {
    sections_.clear();
    sectionIndex_.clear();
    for (qsizetype pos = 0; pos < data_.size();) {
        const Line line = LineAt(pos);
        qsizetype begin = line.begin, end = line.end;
        TrimRange(data_, begin, end);
        if (begin < end && data_[begin] == '[') {
            if (!sections_.empty()) sections_.back().bodyEnd = line.begin;
            qsizetype nameBegin = begin + 1;
            qsizetype nameEnd = FindIn(data_, nameBegin, end, ']');
            TrimRange(data_, nameBegin, nameEnd);
            Section section;
            section.bodyBegin = section.bodyEnd = line.next;
            const QString folded = Folded(data_.constData() + nameBegin, nameEnd - nameBegin);
            if (!sectionIndex_.contains(folded)) sectionIndex_.insert(folded, static_cast<qsizetype>(sections_.size()));
            sections_.push_back(std::move(section));
        }
        pos = line.next;
    }
    if (!sections_.empty()) sections_.back().bodyEnd = data_.size();
}

IniFile::Section* IniFile::FindSection(const QString& section) const {
    const auto found = sectionIndex_.constFind(Folded(section));
    if (found == sectionIndex_.cend()) return nullptr;
    Section& result = sections_[static_cast<std::size_t>(found.value())];
    if (!result.indexed) Index(result);
    return &result;
}

void IniFile::Index(Section& section) const {
    section.indexed = true;
    section.appendAt = section.bodyBegin;
    if (!section.fromFile) return;
    for (qsizetype pos = section.bodyBegin; pos < section.bodyEnd;) {
        const Line line = LineAt(pos);
        qsizetype begin = line.begin, end = line.end;
        TrimRange(data_, begin, end);
        // A new key follows the last line of the section that is not blank,
        // so blank lines before the next section stay where they are.
        if (begin < end) section.appendAt = line.next;
        const qsizetype equals = FindIn(data_, line.begin, line.end, '=');
        if (equals < line.end) {
            qsizetype keyBegin = line.begin, keyEnd = equals;
            TrimRange(data_, keyBegin, keyEnd);
            if (keyBegin < keyEnd) {
                const QString folded = Folded(data_.constData() + keyBegin, keyEnd - keyBegin);
                if (!section.keys.contains(folded))
                    section.keys.insert(folded, KeyLine{line.begin, line.end, equals + 1});
            }
        }
        pos = line.next;
    }
}

QByteArray IniFile::LineBreak() const {
    const qsizetype size = data_.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (data_[i] == '\n') return QByteArrayLiteral("\n");
        if (data_[i] == '\r')
            return i + 1 < size && data_[i + 1] == '\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
    }
    return QByteArrayLiteral("\n");
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    const Section* found = FindSection(section);
    if (!found) return Truncated(def);
    const QString folded = Folded(key);
    const auto line = found->keys.constFind(folded);
    if (line != found->keys.cend()) {
        const auto replacement = replaced_.find(line->begin);
        if (replacement == replaced_.end()) return DecodedValue(data_, line->valueBegin, line->end);
        const QByteArray& text = replacement->second.second;
        return DecodedValue(text, text.indexOf('=') + 1, text.size());
    }
    for (const AddedKey& added : found->added)
        if (added.folded == folded) return DecodedValue(added.value, 0, added.value.size());
    return Truncated(def);
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    bool ok = false;
    const int value = ReadString(section, key, QString()).toInt(&ok, 10);
    return ok ? value : def;
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QByteArray keyBytes = WithLineBreaksAsBlanks(key);
    const QByteArray valueBytes = WithLineBreaksAsBlanks(value);
    const QString folded = Folded(key);

    Section* target = FindSection(section);
    if (!target) {
        Section added;
        added.name = WithLineBreaksAsBlanks(section);
        added.fromFile = false;
        added.indexed = true;
        sectionIndex_.insert(Folded(section), static_cast<qsizetype>(sections_.size()));
        sections_.push_back(std::move(added));
        target = &sections_.back();
    }

    const auto line = target->keys.constFind(folded);
    if (line != target->keys.cend()) {
        // The bytes stay as they are while the value reads the same.
        if (DecodedValue(data_, line->valueBegin, line->end) == DecodedValue(valueBytes, 0, valueBytes.size())) {
            replaced_.erase(line->begin);
            return;
        }
        qsizetype keyBegin = line->begin, keyEnd = line->valueBegin - 1;
        TrimRange(data_, keyBegin, keyEnd);
        replaced_[line->begin] = {line->end, data_.mid(keyBegin, keyEnd - keyBegin) + '=' + valueBytes};
        return;
    }
    for (AddedKey& added : target->added) {
        if (added.folded == folded) {
            added.value = valueBytes;
            return;
        }
    }
    target->added.push_back({folded, keyBytes, valueBytes});
}

bool IniFile::Changed() const {
    if (!replaced_.empty()) return true;
    return std::any_of(sections_.begin(), sections_.end(), [](const Section& s) { return !s.added.empty(); });
}

QByteArray IniFile::Contents() const {
    const QByteArray eol = LineBreak();
    struct Edit {
        qsizetype at;
        qsizetype end; // at: an insertion
        QByteArray bytes;
    };
    std::vector<Edit> edits;
    for (const auto& [begin, replacement] : replaced_) edits.push_back({begin, replacement.first, replacement.second});
    for (const Section& section : sections_) {
        if (!section.fromFile || section.added.empty()) continue;
        QByteArray lines;
        const qsizetype at = section.appendAt;
        if (at > 0 && !IsBreak(data_[at - 1])) lines += eol;
        for (const AddedKey& added : section.added) lines += added.key + '=' + added.value + eol;
        edits.push_back({at, at, std::move(lines)});
    }
    std::sort(edits.begin(), edits.end(),
              [](const Edit& a, const Edit& b) { return a.at != b.at ? a.at < b.at : a.end < b.end; });

    QByteArray text;
    qsizetype pos = 0;
    for (const Edit& edit : edits) {
        text += QByteArrayView(data_).sliced(pos, edit.at - pos);
        text += edit.bytes;
        pos = edit.end;
    }
    text += QByteArrayView(data_).sliced(pos);

    for (const Section& section : sections_) {
        if (section.fromFile) continue;
        if (!text.isEmpty()) {
            if (!EndsWithBreak(text)) text += eol;
            if (!LastLineBlank(text)) text += eol; // a blank line between sections
        }
        text += '[' + section.name + ']' + eol;
        for (const AddedKey& added : section.added) text += added.key + '=' + added.value + eol;
    }
    return text;
}

void IniFile::Save() {
    const auto failure = [this] { return EFileError(QStringLiteral("Unable to write to %1").arg(path_)); };
    // What could not be read is never replaced by what little is known of it.
    if (unreadable_) throw failure();
    if (!Changed()) return;

    const QFileInfo target(ResolvedTarget(path_));
    const QString folder = target.absolutePath();
    const QByteArray targetName = QFile::encodeName(target.absoluteFilePath());
    if (ReadOnlyFile(targetName)) throw failure();
    if (!QDir().mkpath(folder)) throw failure();

    QByteArray temporary =
        QFile::encodeName(folder + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) throw failure();
    ::flock(fd, LOCK_EX | LOCK_NB); // marks the save as running (RemoveLeftovers)

    struct stat old {};
    if (::stat(targetName.constData(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);

    QByteArray contents = Contents();
    bool written = WriteWhole(fd, contents) == 0 && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.constData(), targetName.constData()) != 0) {
        ::unlink(temporary.constData());
        throw failure();
    }
    SyncFolder(folder);
    Rebase(std::move(contents));
}

int IniFile::RemoveLeftovers(const QString& path) {
    const QFileInfo target(ResolvedTarget(path));
    const QDir folder(target.absolutePath());
    // The names mkostemp gives: "." + file name + "." + six characters.
    const QString prefix = u'.' + target.fileName() + u'.';
    int removed = 0;
    const QStringList names =
        folder.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QByteArray file = QFile::encodeName(folder.filePath(name));
        const int fd = ::open(file.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(file.constData()) == 0) ++removed;
        ::close(fd);
    }
    return removed;
}

} // namespace zir
