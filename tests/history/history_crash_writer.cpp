// Helper of the kill -9 test: stores batches of records into the history
// file named by argv[1] as a reading does, and says on stdout when a batch
// starts to be written ("writing N") and when it is committed ("committed N",
// N records in all), until it is killed.
#include <QCoreApplication>
#include <cstdio>

#include "history/HistoryStore.h"
#include "link/numFormats.h"
#include "support/VirtualClock.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) return 2;
    const int batch = QString::fromLocal8Bit(argv[2]).toInt();
    // Time stands still: only Commit() writes, so each batch is one transaction.
    zir::test::VirtualClock clock;
    zir::THistoryStore store(QString::fromLocal8Bit(argv[1]), clock);
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC);
    const int reading = store.BeginReading(QStringLiteral("crash test"));
    for (int n = 0;;) {
        for (int i = 0; i < batch; ++i, ++n) {
            zir::ArchiveEntry e;
            e.time = start.addSecs(std::int64_t{60} * n);
            e.bank = n % 14;
            e.codeA = static_cast<std::uint16_t>(100 + n % 900);
            e.codeB = static_cast<std::uint16_t>(0xFC00 | (100 + n % 900));
            e.valueA = zir::ValueCodeToText(*e.codeA);
            e.valueB = zir::ValueCodeToText(*e.codeB);
            e.uncertaintyA = n % 100;
            e.uncertaintyB = 7;
            e.unitA = QStringLiteral("Bq");
            e.unitB = QStringLiteral("1/s");
            store.AddRecord(reading, QStringLiteral("1.2.3"), e);
        }
        std::printf("writing %d\n", n);
        std::fflush(stdout);
        if (!store.Commit()) {
            std::printf("failed %s\n", qPrintable(store.TakeProblem()));
            return 1;
        }
        std::printf("committed %d\n", n);
        std::fflush(stdout);
    }
}
