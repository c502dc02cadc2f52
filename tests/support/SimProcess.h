#pragma once
// Runs zir-sim, the instrument simulator, for one end-to-end test: starts it
// on a new pseudo-terminal with a private frame log, and stops it when the
// fixture goes out of scope.

#include <sys/types.h>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class SimProcess {
public:
    // Starts `<simPath> --pty --log <tempfile> <extraArgs>` and waits for its
    // "PTY <path>" line; throws std::runtime_error (with the simulator's
    // error output) when it does not come within 10 s. simPath defaults to the
    // zir-sim of this build.
    explicit SimProcess(const QStringList& extraArgs = {}, const QString& simPath = {});
    // The same for a program without a test framework (the benchmarks): on
    // failure prints the reason on standard error and returns nullptr.
    static std::unique_ptr<SimProcess> StartOrTell(const QStringList& extraArgs = {}, const QString& simPath = {});
    // Stops it: SIGTERM, then SIGKILL if it has not ended within 3 s.
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    QString PtyPath() const { return ptyPath_; }

    // Makes <configDir>/zir/com<n> a symlink to the pty, so the program's
    // port naming finds it; configDir is typically a QTemporaryDir whose path
    // the test sets as XDG_CONFIG_HOME.
    void LinkAsCom(const QString& configDir, int n) const;

    // Contents of its --log file, and the frames received (RX) and sent (TX)
    // parsed from it, in order.
    QByteArray ReadLog() const;
    QList<QByteArray> ReceivedFrames() const;
    QList<QByteArray> SentFrames() const;

    // Stops the simulator now (as the destructor does) and returns its exit
    // status; a test uses it to check what the simulator saved at exit.
    int Stop();

    // A private folder for the test's files (state files, ...), removed with the fixture.
    QString TempPath() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QString logPath_;
    QString ptyPath_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;
};
