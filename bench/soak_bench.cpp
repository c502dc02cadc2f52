// Soak: the real main window, offscreen, with auto refresh at its shortest
// period (3 s), every reading appended to ZIR.txt and to the history, against
// zir-sim at 19200 baud, for 10 minutes (or the seconds given). Samples the program's
// resident memory every 10 s and its CPU time, and prints the growth of the
// memory after the first minute (the warm-up) and the CPU share.
//
//   soak_bench [seconds]

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <vector>

#include "app/UFace.h"
#include "core/NumberText.h"
#include "device/CurrentData.h"
#include "support/SimProcess.h"

namespace {

long RssKb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config, data;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));  // the history goes there too
    QApplication app(argc, argv);
    zir::InitNumberFormats();
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 600;
    constexpr int kSampleMs = 10000;
    constexpr int kWarmUpMs = 60000;

    std::unique_ptr<SimProcess> sim;
    try {
        sim = std::make_unique<SimProcess>(QStringList{"--baud", "19200"});
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    sim->LinkAsCom(config.path(), 1);

    zir::TFace face;
    face.SetAppDir(data.path() + u'/');
    face.show();
    face.RxSpinEdit_ComPort->setValue(1);
    face.CB_ComPort_Speed->setCurrentIndex(0);  // 19200
    face.RxSpE_AutoTime->setValue(3);
    face.CB_Refresh->click();
    face.CB_ReadToFile->setChecked(true);

    struct Sample {
        double atS;
        long rssKb;
    };
    std::vector<Sample> samples;
    QElapsedTimer wall;
    wall.start();
    const double cpuAtStart = CpuSeconds();
    double cpuAfterWarmUp = 0;
    QTimer sampler;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        samples.push_back({static_cast<double>(wall.elapsed()) / 1000, RssKb()});
        if (wall.elapsed() >= kWarmUpMs && cpuAfterWarmUp == 0) cpuAfterWarmUp = CpuSeconds();
    });
    sampler.start(kSampleMs);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    samples.push_back({0, RssKb()});
    QApplication::exec();
    const double wallS = static_cast<double>(wall.elapsed()) / 1000;
    const double cpuS = CpuSeconds() - cpuAtStart;
    face.CB_Refresh->click();

    const QString log = data.path() + u'/' + zir::kCurrentDataLogName;
    QFile file(log);
    int lines = 0;
    if (file.open(QIODevice::ReadOnly)) lines = static_cast<int>(file.readAll().count('\n'));

    auto warm = std::find_if(samples.begin(), samples.end(), [&](const Sample& s) { return s.atS >= kWarmUpMs / 1000.0; });
    if (warm == samples.end()) --warm;  // a run shorter than the warm-up
    long lowKb = warm->rssKb, highKb = warm->rssKb;
    for (auto s = warm; s != samples.end(); ++s) {
        lowKb = std::min(lowKb, s->rssKb);
        highKb = std::max(highKb, s->rssKb);
    }
    const long warmKb = warm->rssKb;
    std::printf("auto refresh every 3 s against zir-sim at 19200 baud for %.0f s\n", wallS);
    std::printf("  readings logged to ZIR.txt: %d (one due every 3 s: %d)\n", lines, static_cast<int>(wallS / 3));
    std::printf("  resident memory: %ld kB at start, %ld kB after the first minute, %ld kB at the end\n",
                samples.front().rssKb, warmKb, samples.back().rssKb);
    std::printf("  after the first minute: lowest %ld kB, highest %ld kB, growth %+ld kB\n", lowKb, highKb,
                samples.back().rssKb - warmKb);
    std::printf("  CPU: %.2f s in %.0f s = %.2f %% (after the first minute: %.2f %%)\n", cpuS, wallS,
                100 * cpuS / wallS,
                cpuAfterWarmUp > 0 ? 100 * (CpuSeconds() - cpuAfterWarmUp) / (wallS - kWarmUpMs / 1000.0) : 0.0);
    std::printf("  samples (s: kB):");
    for (const Sample& s : samples) std::printf(" %.0f:%ld", s.atS, s.rssKb);
    std::printf("\n");
    return 0;
}
