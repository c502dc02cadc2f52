// A writer killed with SIGKILL in the middle of a batch: the file passes
// SQLite's integrity check, every batch it reported committed is there with
// its values, and no batch is there in part.
#include <gtest/gtest.h>

#include <sys/types.h>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <csignal>

#include "history/HistoryTestSupport.h"

namespace zir::test {
namespace {

constexpr int kBatch = 3000;

TEST(HistoryCrash, AKillMidBatchLosesOnlyThatBatch) {
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        StoreRig rig;
        rig.store.reset();
        QProcess writer;
        writer.start(ZIR_CRASH_WRITER, {rig.path, QString::number(kBatch)});
        ASSERT_TRUE(writer.waitForStarted(5000));
        int committed = 0;
        int writings = 0;
        const int killAt = 3 + round; // the batch being written when the kill comes
        while (writings < killAt) {
            ASSERT_TRUE(writer.canReadLine() || writer.waitForReadyRead(30000)) << "writer went quiet";
            while (writer.canReadLine()) {
                const QByteArray line = writer.readLine().trimmed();
                if (line.startsWith("committed ")) committed = line.mid(10).toInt();
                if (line.startsWith("writing ")) ++writings;
                ASSERT_FALSE(line.startsWith("failed")) << line.toStdString();
            }
        }
        // Inside the transaction of the batch just announced.
        QThread::usleep(QRandomGenerator::global()->bounded(2000u));
        ::kill(static_cast<pid_t>(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished(10000));
        EXPECT_EQ(writer.exitStatus(), QProcess::CrashExit);
        while (writer.canReadLine()) {
            const QByteArray line = writer.readLine().trimmed();
            if (line.startsWith("committed ")) committed = line.mid(10).toInt();
        }

        Peek peek(rig.path);
        EXPECT_EQ(peek.Scalar("PRAGMA integrity_check").toString(), "ok");
        const qint64 rows = peek.Count("records");
        EXPECT_GE(rows, committed);
        EXPECT_LE(rows, committed + kBatch);
        EXPECT_EQ(rows % kBatch, 0) << "a batch in part";

        // Every committed row is there with its values.
        THistoryStore store(rig.path, rig.clock);
        const HistorySeries s = store.Records("1.2.3", QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC),
                                              QDateTime(QDate(2030, 1, 1), QTime(0, 0), Qt::UTC));
        ASSERT_EQ(static_cast<qint64>(s.records.size()), rows);
        for (std::size_t n = 0; n < s.records.size(); ++n) {
            const HistoryRecord& r = s.records[n];
            const int i = static_cast<int>(n);
            ASSERT_EQ(r.minute, MinuteOf(QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC)) + i);
            ASSERT_EQ(r.a.code, 100 + i % 900);
            ASSERT_EQ(r.a.uncertainty, i % 100);
            ASSERT_EQ(r.bank, i % 14);
        }
    }
}

} // namespace
} // namespace zir::test
