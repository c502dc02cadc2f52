// libFuzzer target: the settings file as people leave it, read by the INI
// layer and restored into the real main window (offscreen).
//
// INI layer: the file loads byte for byte; a key written reads back as
// written and leaves every other key's value as it was; saved and loaded
// again, the file has the same bytes and every key the same value.
// Restore: the input is restored into the window as at a start, then saved
// as at a close; that saved file, restored at the next start, brings back
// the same fields and position, and saving again writes the same bytes.
// Sections and keys the program does not write keep their values.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "app/UFace.h"
#include "app/settings/FormStorage.h"
#include "app/settings/IniFile.h"
#include "app/settings/StoredProperty.h"
#include "core/Text.h"
#include "fuzz/FuzzSupport.h"

using namespace zir;
using namespace zir::fuzz;

namespace {

const QString kSection = QStringLiteral("TFace");
const ScreenInfo kScreen{QSize(1024, 768), 96, QRect(0, 0, 1024, 768)};

struct Program {
    std::unique_ptr<QApplication> app;
    std::unique_ptr<TFace> face;
    QString iniPath;
    QByteArray pristine; // what a close writes after a start without a file
    QStringList programKeys;
};

Program* program = nullptr;

void Quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
            "settings file written for the run", path);
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    Require(file.open(QIODevice::ReadOnly), "settings file read back", path);
    return file.readAll();
}

struct Candidate {
    QString section;
    QString key;
};

bool SameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Section and key names as they appear in the text, for probing the reader
// (which decides on its own what they hold).
std::vector<Candidate> Candidates(const QByteArray& text) {
    std::vector<Candidate> found;
    QSet<QString> seen;
    QString section;
    // A line ends at LF, at CR LF or at a CR alone, as the reader has it.
    for (QByteArray line : QByteArray(text).replace('\r', '\n').split('\n')) {
        if (line.startsWith("\xEF\xBB\xBF")) line.remove(0, 3);
        const QString trimmed = QString::fromUtf8(line).trimmed();
        if (trimmed.startsWith(u'[')) {
            const qsizetype close = trimmed.indexOf(u']');
            section = trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
            continue;
        }
        const qsizetype equals = trimmed.indexOf(u'=');
        if (section.isEmpty() || equals <= 0) continue;
        const QString key = trimmed.left(equals).trimmed();
        if (key.isEmpty() || seen.contains(section.toLower() + u'\n' + key.toLower())) continue;
        seen.insert(section.toLower() + u'\n' + key.toLower());
        found.push_back({section, key});
        if (found.size() >= 24) break;
    }
    return found;
}

std::vector<QString> ReadAll(const IniFile& ini, const std::vector<Candidate>& names) {
    std::vector<QString> values;
    for (const Candidate& c : names) values.push_back(ini.ReadString(c.section, c.key, QStringLiteral("\x01missing")));
    return values;
}

// A value from the input that a save could write: one line, no blanks or
// control characters at either end.
QString ValueFrom(const QByteArray& input) {
    QString value = QString::fromUtf8(input.left(300));
    value.replace(u'\r', u' ').replace(u'\n', u' ');
    return TrimBlanksAndControls(value).toString();
}

void CheckIniLayer(const QByteArray& input) {
    WriteFile(program->iniPath, input);
    IniFile ini(program->iniPath);
    ini.Load();
    Require(!ini.Unreadable() && ini.Contents() == input, "the file loads byte for byte");

    std::vector<Candidate> names = Candidates(input);
    // A name found in the file is written as well, if it is one a save could
    // write: a line break in a name becomes a blank, as in a value.
    Candidate found{QStringLiteral("ZirFuzz"), QStringLiteral("Key")};
    for (const Candidate& c : names) {
        const QString joined = c.section + c.key;
        if (!joined.contains(u'\r') && !joined.contains(u'\n')) {
            found = c;
            break;
        }
    }
    const std::vector<Candidate> writes = {
        {kSection, QStringLiteral("FormVersion")},
        {kSection, QStringLiteral("Edit_Razmernost_Text")},
        found,
        {QStringLiteral("ZirFuzz"), QStringLiteral("Key")},
    };
    for (const Candidate& w : writes) names.push_back(w);
    const QString value = ValueFrom(input);
    std::vector<QString> before = ReadAll(ini, names);
    for (const Candidate& w : writes) {
        ini.WriteString(w.section, w.key, QuotedForIni(value));
        Require(ini.ReadString(w.section, w.key, QString()) == value, "a written key reads back as written",
                w.section + u'/' + w.key);
        std::vector<QString> after = ReadAll(ini, names);
        for (std::size_t i = 0; i < names.size(); ++i)
            if (!(SameName(names[i].section, w.section) && SameName(names[i].key, w.key)))
                Require(after[i] == before[i], "a write leaves other keys alone",
                        names[i].section + u'/' + names[i].key);
        before = std::move(after);
    }
    const std::vector<QString>& written = before;
    ini.Save();
    IniFile again(program->iniPath);
    again.Load();
    Require(again.Contents() == ini.Contents(), "saved and loaded again, the same bytes");
    Require(ReadAll(again, names) == written, "saved and loaded again, the same values");
}

// The fields and the window's place after a restore.
QStringList Fields() {
    QStringList fields;
    for (const StoredProperty& p : program->face->FormStorage1->Properties()) fields << p.key + u'=' + p.written();
    const QRect frame = program->face->frameGeometry();
    fields << QStringLiteral("frame=%1,%2,%3,%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height());
    return fields;
}

// A start with `file` as the settings file, then a close: the fields after
// the restore, the file after the save.
std::pair<QStringList, QByteArray> StartAndClose(const QByteArray& file) {
    TFormStorage* storage = program->face->FormStorage1;
    // What the previous run left in the fields goes first, as a new start has
    // only the values at creation.
    WriteFile(program->iniPath, program->pristine);
    storage->Restore();
    QCoreApplication::processEvents();
    WriteFile(program->iniPath, file);
    storage->Restore();
    QCoreApplication::processEvents();
    const QStringList fields = Fields();
    storage->Save();
    return {fields, ReadFile(program->iniPath)};
}

// The file without its window rectangle lines, whatever their line breaks
// (LF, CR LF or CR alone) and however the file spells the key (a key it
// already had is written in place).
QByteArray WithoutNormPos(const QByteArray& file) {
    QByteArray rest;
    qsizetype begin = 0;
    while (begin < file.size()) {
        qsizetype end = begin;
        while (end < file.size() && file[end] != '\r' && file[end] != '\n') ++end;
        qsizetype next = end; // past the line break: CR LF, CR or LF
        if (next < file.size() && file[next] == '\r') ++next;
        if (next < file.size() && file[next] == '\n') ++next;
        const QByteArray line = file.mid(begin, end - begin);
        if (!line.trimmed().toLower().startsWith("normpos")) rest += file.mid(begin, next - begin);
        begin = next;
    }
    return rest;
}

void CheckRestore(const QByteArray& input) {
    auto [restored, saved] = StartAndClose(input);
    auto [fieldsAgain, savedAgain] = StartAndClose(saved);
    QByteArray savedOnce = saved;
    // Where a window partly off the desktop ends up is the window system's
    // choice (offscreen, it creeps by 2 pixels at each start): the place is
    // compared only for a window wholly on the desktop.
    if (!kScreen.available.contains(program->face->frameGeometry())) {
        restored.removeLast();
        fieldsAgain.removeLast();
        savedOnce = WithoutNormPos(saved);
        savedAgain = WithoutNormPos(savedAgain);
    }
    // A text restored with a line break in it (a lone CR inside a line of
    // the file) is saved with a blank there, as every value is written.
    QStringList fields = restored;
    for (QString& field : fields) field.replace(u'\r', u' ').replace(u'\n', u' ');
    Require(fieldsAgain == fields, "the saved file restores the same fields and place",
            fields.join(u'|') + QStringLiteral(" <> ") + fieldsAgain.join(u'|'));
    Require(savedAgain == savedOnce, "saving again writes the same bytes",
            QString::fromUtf8(savedOnce.toHex()) + QStringLiteral(" <> ") + QString::fromUtf8(savedAgain.toHex()));

    // What the program does not write stays as it was.
    WriteFile(program->iniPath, input);
    IniFile before(program->iniPath);
    before.Load();
    WriteFile(program->iniPath, saved);
    IniFile after(program->iniPath);
    after.Load();
    for (const Candidate& c : Candidates(input)) {
        if (SameName(c.section, kSection) && program->programKeys.contains(c.key, Qt::CaseInsensitive)) continue;
        Require(after.ReadString(c.section, c.key, QString()) == before.ReadString(c.section, c.key, QString()),
                "a key the program does not write keeps its value", c.section + u'/' + c.key);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QByteArray home = QFile::encodeName(base + QStringLiteral("/zir-fuzz-settings-XXXXXX"));
    Require(mkdtemp(home.data()) != nullptr, "a private settings folder");
    qputenv("XDG_CONFIG_HOME", home);
    qInstallMessageHandler(Quiet);

    program = new Program;
    program->app = std::make_unique<QApplication>(*argc, *argv);
    InitNumberFormats();
    program->face = std::make_unique<TFace>();
    TFormStorage* storage = program->face->FormStorage1;
    storage->SetScreenProbe([] { return kScreen; });
    program->iniPath = storage->IniFilePath();
    QDir().mkpath(QFileInfo(program->iniPath).absolutePath());
    QFile::remove(program->iniPath);
    program->face->show(); // restores from no file
    QCoreApplication::processEvents();
    // Painting the window at every run would only cost time.
    program->face->setUpdatesEnabled(false);
    storage->Save();
    program->pristine = ReadFile(program->iniPath);
    for (const QString& key : {"FormVersion", "Flags", "ShowCmd", "PixelsPerInch", "MinMaxPos", "NormPos", "Visible"})
        program->programKeys << key;
    program->programKeys << QStringLiteral("MinMaxPos(1024x768)") << QStringLiteral("NormPos(1024x768)");
    for (const StoredProperty& p : storage->Properties()) program->programKeys << p.key;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input = Bytes(data, size);
    CheckIniLayer(input);
    CheckRestore(input);
    return 0;
}
