// A long operation keeps its port: while a bank reading runs against
// zir-sim, another program that opens the port between two of its requests
// is told at once that it is in use, and the reading reads every minute. The
// port is free again when the reading is over.

#include <gtest/gtest.h>

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>

#include "archive/BankReading.h"
#include "support/SimLink.h"
#include "tests/archive/ArchiveFakes.h"

namespace zir::test {
namespace {

// What opening the device gives a process of another user (nobody): 0, or
// the errno; -1 when no such process can be made.
int OpenAsAnotherUser(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(255);
        const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ::_exit(fd >= 0 ? 0 : errno);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255) return -1;
    return WEXITSTATUS(status);
}

struct IntruderCase {
    const char* name;
    // Tries to open the port; returns whether it was kept out as "in use".
    std::function<bool(const SimProcess& sim, IClock& clock)> keptOut;
};

TEST(PortHold, ABankReadingKeepsItsPortFromStartToEnd) {
    const IntruderCase cases[] = {
        {"another copy of the program",
         [](const SimProcess& sim, IClock& clock) {
             TCPDrv other(clock);
             other.SetPortName(sim.PtyPath());
             return !other.Open() && other.LastError().contains("in use by another program");
         }},
        {"a program of another user",
         [](const SimProcess& sim, IClock&) { return OpenAsAnotherUser(sim.PtyPath()) == EBUSY; }},
    };
    for (const IntruderCase& c : cases) {
        SCOPED_TRACE(c.name);
        SimLink link;
        SimProcess sim({"--no-pacing", "--clock", "2024-05-17 12:00"});
        link.Connect(sim);
        // Another user may open the line at all: only the program's lock keeps it out.
        ASSERT_EQ(::chmod(QFile::encodeName(sim.PtyPath()).constData(), 0666), 0);
        if (std::string(c.name) == "a program of another user" && OpenAsAnotherUser(sim.PtyPath()) != 0)
            GTEST_SKIP() << "no process of another user can be made here";

        NoProgress progress;
        ScriptedOperator op;
        QStringList log;
        RecordingReport report(log);
        int requests = 0, keptOut = 0, tries = 0;
        const ArchiveServices services{DeviceContext{link.exchange, "255.255.255", link.status, progress, false}, op,
                                       [&] {
                                           // Between two requests, now and then, the other program tries.
                                           if (++requests % 7 == 0) {
                                               ++tries;
                                               keptOut += c.keptOut(sim, link.clock) ? 1 : 0;
                                           }
                                       },
                                       link.clock};
        BankReadingInputs inputs;
        inputs.bank = BankSelection{1, QDate(2024, 5, 17)};
        inputs.filter.from = TimeLimitAt(480);
        inputs.filter.to = TimeLimitAt(509);
        const MinuteCount count = ReadBank(services, inputs, report);

        EXPECT_EQ(count, (MinuteCount{30, 30}));
        EXPECT_EQ(tries, 4);
        EXPECT_EQ(keptOut, tries);
        EXPECT_FALSE(c.keptOut(sim, link.clock)); // free once the reading is over
    }
}

} // namespace
} // namespace zir::test
