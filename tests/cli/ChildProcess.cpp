#include "cli/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QFile>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace zir::test {

namespace {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray NameOf(const QByteArray& entry) { return entry.left(entry.indexOf('=')); }

QList<QByteArray> Environment(const ChildOptions& options) {
    QList<QByteArray> replaced;
    for (const QString& name : options.unsetEnv) replaced << name.toLocal8Bit();
    for (const QString& entry : options.setEnv) replaced << NameOf(entry.toLocal8Bit());
    QList<QByteArray> env;
    for (char** e = environ; *e; ++e) {
        const QByteArray entry(*e);
        if (!replaced.contains(NameOf(entry))) env << entry;
    }
    for (const QString& entry : options.setEnv) env << entry.toLocal8Bit();
    return env;
}

std::vector<char*> Pointers(QList<QByteArray>& strings) {
    std::vector<char*> pointers;
    for (QByteArray& s : strings) pointers.push_back(s.data());
    pointers.push_back(nullptr);
    return pointers;
}

} // namespace

ChildProcess::ChildProcess(const QString& program, const QStringList& args, const ChildOptions& options) {
    if (!dir_.isValid()) throw std::runtime_error("no temporary folder");
    QList<QByteArray> argv;
    if (options.fileModesApply && geteuid() == 0)
        argv << "/usr/bin/setpriv"
             << "--bounding-set=-dac_override,-dac_read_search"
             << "--";
    argv << QFile::encodeName(program);
    for (const QString& a : args) argv << a.toLocal8Bit();
    QList<QByteArray> env = Environment(options);
    std::vector<char*> argvPointers = Pointers(argv);
    std::vector<char*> envPointers = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray outPath = QFile::encodeName(dir_.filePath(QStringLiteral("out")));
    const QByteArray errPath = QFile::encodeName(dir_.filePath(QStringLiteral("err")));
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int slave = -1;
    if (options.stderrOnTerminal) {
        terminal_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (terminal_ < 0 || grantpt(terminal_) != 0 || unlockpt(terminal_) != 0)
            throw std::runtime_error("no pseudo-terminal");
        slave = open(ptsname(terminal_), O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave < 0) throw std::runtime_error("cannot open the pseudo-terminal");
        posix_spawn_file_actions_adddup2(&actions, slave, STDERR_FILENO);
        fcntl(terminal_, F_SETFL, O_NONBLOCK);
    } else {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
    }
    const int spawned = posix_spawn(&pid_, argvPointers[0], &actions, nullptr, argvPointers.data(), envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    if (slave >= 0) close(slave);
    if (spawned != 0) {
        pid_ = -1;
        throw std::runtime_error("cannot start " + program.toStdString() + ": " + std::strerror(spawned));
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    if (terminal_ >= 0) close(terminal_);
}

void ChildProcess::Signal(int signal) const {
    if (pid_ > 0) kill(pid_, signal);
}

void ChildProcess::DrainTerminal() {
    if (terminal_ < 0) return;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(terminal_, buffer, sizeof buffer);
        if (n <= 0) return;
        terminalBytes_.append(buffer, n);
    }
}

bool ChildProcess::Running() {
    DrainTerminal();
    if (pid_ <= 0) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    pid_ = -1;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    DrainTerminal();
    return false;
}

int ChildProcess::Wait(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (Running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid_, SIGKILL);
        }
        pollfd p{terminal_, POLLIN, 0};
        poll(&p, terminal_ >= 0 ? 1 : 0, 10);
    }
    return exitStatus_;
}

QByteArray ChildProcess::Out() const { return ReadFile(dir_.filePath(QStringLiteral("out"))); }

QByteArray ChildProcess::Err() {
    if (terminal_ >= 0) {
        DrainTerminal();
        return terminalBytes_;
    }
    return ReadFile(dir_.filePath(QStringLiteral("err")));
}

ProgramResult RunProgram(const QString& program, const QStringList& args, const ChildOptions& options) {
    ChildProcess child(program, args, options);
    ProgramResult result;
    result.exitStatus = child.Wait();
    result.out = child.Out();
    result.err = child.Err();
    return result;
}

} // namespace zir::test
