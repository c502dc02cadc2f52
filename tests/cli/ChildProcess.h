#pragma once
// Runs one of the project's programs as a child process for a test: its
// standard output goes to a file, its standard error to a file or to a
// pseudo-terminal (so the program sees a terminal there), its environment is
// the test's with changes. Killed when the object goes out of scope.

#include <sys/types.h>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zir::test {

struct ChildOptions {
    QStringList setEnv;   // "NAME=value", replacing the test's own
    QStringList unsetEnv; // names left out of the environment
    bool stderrOnTerminal = false;
    // Run as root without the capability that overrides file permissions, so
    // a read-only folder is read-only for the child as for any user.
    bool fileModesApply = false;
};

class ChildProcess {
public:
    ChildProcess(const QString& program, const QStringList& args, const ChildOptions& options = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    void Signal(int signal) const;
    // Waits for the end (at most timeoutMs, then kills) and returns the exit
    // status, or 128 + the signal that ended it.
    int Wait(int timeoutMs = 120000);
    bool Running();

    QByteArray Out() const; // standard output so far
    QByteArray Err();       // standard error (what reached the terminal) so far

private:
    void DrainTerminal();

    QTemporaryDir dir_;
    pid_t pid_ = -1;
    int exitStatus_ = -1;
    int terminal_ = -1; // master side when stderr is a terminal
    QByteArray terminalBytes_;
};

struct ProgramResult {
    int exitStatus = -1;
    QByteArray out;
    QByteArray err;
};

ProgramResult RunProgram(const QString& program, const QStringList& args, const ChildOptions& options = {});

} // namespace zir::test
