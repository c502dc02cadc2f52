// Start and close of the main window with its settings file: the window is
// created and shown (which restores the 22 fields and the position) and then
// closed (which writes them), once with the file a close writes and once with
// that file behind 50 MB of other lines, as settings files grow when a tool
// appends to them. Offscreen, so no display is needed.
//
//   settings_bench [megabytes]

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "app/UFace.h"
#include "app/settings/IniLocation.h"
#include "core/NumberText.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Timing {
    double startMs = 0;
    double closeMs = 0;
};

Timing StartAndClose(const QString& setAddress) {
    Timing timing;
    const auto start = Clock::now();
    auto face = std::make_unique<zir::TFace>();
    face->show();
    QCoreApplication::processEvents();
    timing.startMs = MsSince(start);
    face->LE_DeviceAdr->setText(setAddress); // one change, so the close writes the file
    const auto close = Clock::now();
    face->close();
    face.reset();
    timing.closeMs = MsSince(close);
    return timing;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.path()));
    QApplication app(argc, argv);
    zir::InitNumberFormats();
    const long megabytes = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 50;

    StartAndClose(QStringLiteral("1.1.1")); // writes the settings file
    const QString path = zir::ResolveIniFilePath(QString());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return 1;
    const QByteArray settings = file.readAll();
    file.close();

    const Timing small = StartAndClose(QStringLiteral("1.1.2"));

    QByteArray padding;
    padding.reserve(megabytes * 1024 * 1024 + 64);
    for (int line = 0; padding.size() < megabytes * 1024 * 1024; ++line)
        padding +=
            "; appended by another tool, line " + QByteArray::number(line) + " ................................\n";
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 1;
    file.write(padding + settings);
    file.close();
    const Timing large = StartAndClose(QStringLiteral("1.1.3"));

    std::printf("settings file of %lld bytes: start %.1f ms, close %.1f ms\n", static_cast<long long>(settings.size()),
                small.startMs, small.closeMs);
    std::printf("settings file of %lld bytes: start %.1f ms, close %.1f ms\n",
                static_cast<long long>(padding.size() + settings.size()), large.startMs, large.closeMs);
    return 0;
}
