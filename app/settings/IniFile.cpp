#include "app/settings/IniFile.h"

#include "core/Errors.h"
#include "core/SystemIo.h"
#include "core/Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zir {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r'; }

// [begin, end) without the blanks at either side.
void TrimRange(const QByteArray& data, qsizetype& begin, qsizetype& end) { TrimBounds(data, begin, end, IsBlank); }

bool SameName(const QByteArray& data, qsizetype begin, qsizetype end, const QString& name) {
    return QString::fromUtf8(data.constData() + begin, end - begin).compare(name, Qt::CaseInsensitive) == 0;
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
    if (value[length - 1].isHighSurrogate()) --length;  // never half a character
    value.truncate(length);
    return value;
}

QByteArray OneLine(const QString& text) {
    QByteArray bytes = text.toUtf8();
    bytes.replace('\r', ' ');
    bytes.replace('\n', ' ');
    return bytes;
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

void SyncFolder(const QString& folder) {
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);  // best effort: the rename itself has already happened
    ::close(fd);
}

} // namespace

IniFile::IniFile(QString path) : path_(std::move(path)) {}

void IniFile::Load() {
    data_.clear();
    unreadable_ = false;
    const QFileInfo info(path_);
    if (!info.exists()) return;  // a missing file, or a link to one, is empty
    if (!info.isFile() || info.size() > MaxFileSize) {
        unreadable_ = true;  // a folder, a device, a pipe, or far too large
        return;
    }
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        unreadable_ = true;
        return;
    }
    data_ = file.read(MaxFileSize + 1);
    if (file.error() != QFileDevice::NoError || data_.size() > MaxFileSize) {
        data_.clear();
        unreadable_ = true;
    }
}

IniFile::Line IniFile::LineAt(qsizetype pos) const {
    Line line;
    line.begin = pos;
    const qsizetype newline = data_.indexOf('\n', pos);
    if (newline < 0) {
        line.end = line.next = data_.size();
    } else {
        line.end = newline;
        line.next = newline + 1;
    }
    if (line.end > line.begin && data_[line.end - 1] == '\r') --line.end;
    if (pos == 0 && data_.startsWith("\xEF\xBB\xBF")) line.begin = 3;  // byte order mark
    return line;
}

IniFile::SectionRange IniFile::FindSection(const QString& section) const {
    SectionRange range;
    for (qsizetype pos = 0; pos < data_.size();) {
        const Line line = LineAt(pos);
        qsizetype begin = line.begin, end = line.end;
        TrimRange(data_, begin, end);
        if (begin < end && data_[begin] == '[') {
            if (range.found) {
                range.bodyEnd = line.begin;
                return range;
            }
            qsizetype nameEnd = data_.indexOf(']', begin + 1);
            if (nameEnd < 0 || nameEnd > end) nameEnd = end;
            qsizetype nameBegin = begin + 1;
            TrimRange(data_, nameBegin, nameEnd);
            if (SameName(data_, nameBegin, nameEnd, section)) {
                range.found = true;
                range.bodyBegin = line.next;
            }
        }
        pos = line.next;
    }
    range.bodyEnd = data_.size();
    return range;
}

IniFile::KeyLine IniFile::FindKey(const SectionRange& range, const QString& key) const {
    KeyLine result;
    for (qsizetype pos = range.bodyBegin; pos < range.bodyEnd;) {
        const Line line = LineAt(pos);
        const qsizetype equals = data_.indexOf('=', line.begin);
        if (equals >= 0 && equals < line.end) {
            qsizetype begin = line.begin, end = equals;
            TrimRange(data_, begin, end);
            if (begin < end && SameName(data_, begin, end, key)) {
                result.found = true;
                result.line = line;
                result.valueBegin = equals + 1;
                return result;
            }
        }
        pos = line.next;
    }
    return result;
}

QByteArray IniFile::LineBreak() const {
    const qsizetype newline = data_.indexOf('\n');
    return newline > 0 && data_[newline - 1] == '\r' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\n");
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& def) const {
    const SectionRange range = FindSection(section);
    if (!range.found) return Truncated(def);
    const KeyLine found = FindKey(range, key);
    if (!found.found) return Truncated(def);
    qsizetype begin = found.valueBegin, end = found.line.end;
    TrimRange(data_, begin, end);
    return Truncated(WithoutEnclosingQuotes(QString::fromUtf8(data_.constData() + begin, end - begin)));
}

int IniFile::ReadInteger(const QString& section, const QString& key, int def) const {
    bool ok = false;
    const int value = ReadString(section, key, QString()).toInt(&ok, 10);
    return ok ? value : def;
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value) {
    const QByteArray eol = LineBreak();
    const QByteArray keyBytes = OneLine(key);
    const QByteArray valueBytes = OneLine(value);
    const SectionRange range = FindSection(section);

    if (!range.found) {
        if (!data_.isEmpty()) {
            if (!data_.endsWith('\n')) data_ += eol;
            const qsizetype previousBreak = data_.size() >= 2 ? data_.lastIndexOf('\n', data_.size() - 2) : -1;
            const Line last = LineAt(previousBreak + 1);
            qsizetype begin = last.begin, end = last.end;
            TrimRange(data_, begin, end);
            if (begin < end) data_ += eol;  // a blank line between sections
        }
        data_ += '[' + OneLine(section) + ']' + eol + keyBytes + '=' + valueBytes + eol;
        return;
    }

    const KeyLine found = FindKey(range, key);
    if (found.found) {
        qsizetype keyBegin = found.line.begin, keyEnd = found.valueBegin - 1;
        TrimRange(data_, keyBegin, keyEnd);
        const QByteArray line = data_.mid(keyBegin, keyEnd - keyBegin) + '=' + valueBytes;
        data_.replace(found.line.begin, found.line.end - found.line.begin, line);
        return;
    }

    // A new key follows the last line of the section that is not blank, so
    // blank lines before the next section stay where they are.
    qsizetype insertAt = range.bodyBegin;
    for (qsizetype pos = range.bodyBegin; pos < range.bodyEnd;) {
        const Line line = LineAt(pos);
        qsizetype begin = line.begin, end = line.end;
        TrimRange(data_, begin, end);
        if (begin < end) insertAt = line.next;
        pos = line.next;
    }
    QByteArray insertion = keyBytes + '=' + valueBytes + eol;
    if (insertAt > 0 && data_[insertAt - 1] != '\n') insertion.prepend(eol);
    data_.insert(insertAt, insertion);
}

void IniFile::Save() const {
    const auto failure = [this] { return EFileError(QStringLiteral("Unable to write to %1").arg(path_)); };
    // What could not be read is never replaced by what little is known of it.
    if (unreadable_) throw failure();

    const QFileInfo target(ResolvedTarget(path_));
    const QString folder = target.absolutePath();
    if (!QDir().mkpath(folder)) throw failure();

    QByteArray temporary = QFile::encodeName(folder + QStringLiteral("/.") + target.fileName() + QStringLiteral(".XXXXXX"));
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) throw failure();

    struct stat old {};
    if (::stat(QFile::encodeName(target.absoluteFilePath()).constData(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);

    bool written = WriteWhole(fd, data_) == 0 && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.constData(), QFile::encodeName(target.absoluteFilePath()).constData()) != 0) {
        ::unlink(temporary.constData());
        throw failure();
    }
    SyncFolder(folder);
}

} // namespace zir
