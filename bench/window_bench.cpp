// The main window's reading against the bare exchange loop, in one run:
// zir-sim at 19200 baud on a pseudo-terminal linked as COM1; the bare loop
// asks every minute of a day through the request exchange and does nothing
// else; then TFace (offscreen) reads the same day with the list window, the
// progress window, Archive.txt and a workbook; then the bare loop once more,
// so that a change of load on the machine meanwhile shows. Prints the
// times, the ratio of the window's to the mean of the bare loops, and the
// program's CPU time during the window's reading.
//
//   window_bench [--records N] [--whole] [zir-sim path]
//
// --records N reads minutes 0..N-1 only (default the whole day, 1440).
// --whole also times "Read all data from archive" (7 banks of a full day).

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QSpinBox>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/AppEnvironment.h"
#include "app/Dialogs.h"
#include "app/FieldText.h"
#include "app/UFace.h"
#include "app/windows/UArchive.h"
#include "archive/ArchiveRecord.h"
#include "bench/BenchDialogs.h"
#include "core/NumberText.h"
#include "device/BankLetter.h"
#include "link/Exchange.h"
#include "link/ZebusModTransport.h"
#include "support/SimLink.h"

namespace {

using namespace zir;
using namespace zir::test;

constexpr int kBaud = 19200;
constexpr int kDay = 1440;
constexpr int kActiveBanks = 7;
constexpr std::uint8_t kBank = 3;
constexpr double kRatioTarget = 1.03;
constexpr double kCpuTarget = 0.10;
const QDate kBankDate(2024, 5, 17);
const QString kAddress = QStringLiteral("255.255.255");

using bench::BenchDialogs;

struct Span {
    double wallS = 0;
    double cpuS = 0;
    int records = 0;
};

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long PeakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

template <typename Body>
Span Measure(Body&& body) {
    Span span;
    const double cpuBefore = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    span.records = body();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    span.wallS = took.count();
    span.cpuS = CpuSeconds() - cpuBefore;
    return span;
}

// Every minute of the bank through the exchange: open, send, reply, close.
int BareLoop(TExchange& exchange, int records) {
    int replies = 0;
    for (int index = 0; index < records; ++index) {
        const QByteArray frame =
            BuildFrame(kAddress, kHostAddress, kKindRead, kControlRequest, RecordRequestData(BankLetter(kBank), index));
        replies += exchange.Request(frame).size() == 30;
    }
    return replies;
}

QString Clock(int minutes) {
    return QStringLiteral("%1:%2")
        .arg(minutes / 60, 2, 10, QLatin1Char('0'))
        .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

void SetUpWindow(TFace& face, BenchDialogs& dialogs, const QString& appDir, QStringList& workbooks, int records) {
    face.SetDialogs(&dialogs);
    face.SetAppDir(appDir);
    face.SetWorkbookOpener([&workbooks](const QString& path) { workbooks << path; });
    face.RxSpinEdit_ComPort->setValue(1);
    face.CB_ComPort_Speed->setCurrentText(QString::number(kBaud));
    face.LE_DeviceAdr->setText(kAddress);
    face.CB_Refresh->setChecked(false);
    face.NProgressCheck->setChecked(true);
    face.CB_ToFile->setChecked(true);
    face.CB_ToExcel->setChecked(true);
    face.CB_NoNull->setChecked(false);
    if (records < kDay) {
        face.CB_TimeFrom->click();
        face.CB_TimeTo->click();
        face.ME_TimeFrom->setText(Clock(0));
        face.ME_TimeTo->setText(Clock(records - 1));
    }
}

void PrintSpan(const char* name, const Span& span, int records) {
    std::printf("  %-28s %7.2f s  %5.2f ms a record  CPU %5.2f s (%4.1f %% of wall)  %d of %d records\n", name,
                span.wallS, span.wallS / records * 1000, span.cpuS, span.cpuS / span.wallS * 100, span.records,
                records);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    int records = kDay;
    bool whole = false;
    QString simPath = QStringLiteral(ZIR_SIM_PATH);
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--records") == 0 && i + 1 < argc) {
            records = std::clamp(std::atoi(argv[++i]), 1, kDay);
        } else if (std::strcmp(argv[i], "--whole") == 0) {
            whole = true;
        } else {
            simPath = QString::fromLocal8Bit(argv[i]);
        }
    }

    QApplication app(argc, argv);
    InitNumberFormats();
    QApplication::setFont(DesignFont());
    // The history the window's reading adds to goes to a folder of this run.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
    const std::unique_ptr<SimProcess> sim = SimProcess::StartOrTell(
        QStringList{"--baud", QString::number(kBaud), "--clock", "2024-05-17 23:59", "--current-bank",
                    QString::number(kBank), "--active-banks", QString::number(kActiveBanks)},
        simPath);
    if (!sim) return 1;
    // COM-port 1 of a private configuration folder, for the bare loop's
    // exchange and the window's alike; the window's settings file stays there.
    SimLink link;
    link.Connect(*sim);
    QTemporaryDir data;
    const QString appDir = data.path() + QLatin1Char('/');

    BenchDialogs dialogs;
    QStringList workbooks;
    TFace face;
    face.show();
    face.CreateAuxiliaryWindows();
    SetUpWindow(face, dialogs, appDir, workbooks, records);
    face.CB_Bank->setEditText(BankEntryText(kBank, kBankDate));
    QApplication::processEvents();

    const Span bare = Measure([&] { return BareLoop(link.exchange, records); });
    TArchive& list = *face.ArchiveWindow();
    const Span window = Measure([&] {
        const int before = int(list.Lines().size());
        face.actGetBankN->trigger();
        return int(list.Lines().size()) - before;
    });
    const Span bareAfter = Measure([&] { return BareLoop(link.exchange, records); });

    const double wireS = double(records) * (23 + 30) * 10 / kBaud;
    const double bareS = (bare.wallS + bareAfter.wallS) / 2;
    const double ratio = window.wallS / bareS;
    const double cpuShare = window.cpuS / window.wallS;
    std::printf("bank %u, minutes 0..%d (%d records), %d baud, list + progress + Archive.txt + workbook\n", kBank,
                records - 1, records, kBaud);
    PrintSpan("bare exchange loop:", bare, records);
    PrintSpan("window (TFace, offscreen):", window, records);
    PrintSpan("bare exchange loop again:", bareAfter, records);
    std::printf("  wire time (53 bytes x 10 bits a record): %.2f s\n", wireS);
    std::printf("  window / bare loop:          %.3fx (%.2f ms a record more; target at most %.2fx: %s)\n", ratio,
                (window.wallS - bareS) / records * 1000, kRatioTarget, ratio <= kRatioTarget ? "met" : "MISSED");
    std::printf("  window's CPU / wall:         %.1f %% (target under %.0f %%: %s)\n", cpuShare * 100, kCpuTarget * 100,
                cpuShare < kCpuTarget ? "met" : "MISSED");
    std::printf("  peak RSS of the process:     %ld KB\n", PeakRssKb());

    bool complete = bare.records == records && window.records == records && bareAfter.records == records &&
                    workbooks.size() == 1 && dialogs.shown == 0;
    if (whole) {
        workbooks.clear();
        face.CB_ToExcel->setChecked(true);
        const Span all = Measure([&] {
            const int before = int(list.Lines().size());
            face.actReadAll->trigger();
            return int(list.Lines().size()) - before;
        });
        const int allRecords = records * kActiveBanks;
        std::printf("whole archive (%d banks of %d records, with the bank list)\n", kActiveBanks, records);
        PrintSpan("window (TFace, offscreen):", all, allRecords);
        std::printf("  wire time: %.1f s; %d workbooks\n", wireS * kActiveBanks, int(workbooks.size()));
        complete = complete && all.records == allRecords && workbooks.size() == kActiveBanks;
    }
    face.SetDialogs(nullptr);
    return complete ? 0 : 1;
}
