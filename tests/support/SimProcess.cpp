#include "support/SimProcess.h"

#include <cstdio>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <vector>

extern char** environ;

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 3000;

std::runtime_error StartError(const QString& what) { return std::runtime_error(("zir-sim: " + what).toStdString()); }

// The frames of one direction ("RX", "TX") in the simulator's log; each line
// reads "<time> <direction> <hex bytes>".
QList<QByteArray> FramesOf(const QByteArray& log, const QByteArray& direction) {
    QList<QByteArray> frames;
    for (const QByteArray& line : log.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() < 3 || fields[1] != direction) continue;
        frames.append(QByteArray::fromHex(fields.mid(2).join()));
    }
    return frames;
}

bool WaitForExit(pid_t pid, int timeoutMs, int& status) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        usleep(5000);
    }
}

} // namespace

SimProcess::SimProcess(const QStringList& extraArgs, const QString& simPath) {
    const QByteArray program = simPath.isEmpty() ? QByteArray(ZIR_SIM_PATH) : QFile::encodeName(simPath);
    if (!dir_.isValid()) throw StartError(QStringLiteral("cannot create a temporary folder"));
    logPath_ = dir_.filePath(QStringLiteral("sim.log"));
    const QString errPath = dir_.filePath(QStringLiteral("sim.err"));

    QList<QByteArray> args{program, "--pty", "--log", QFile::encodeName(logPath_)};
    for (const QString& a : extraArgs) args.append(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) throw StartError(QStringLiteral("cannot create a pipe"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    const QByteArray errFile = QFile::encodeName(errPath);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int spawned = posix_spawn(&pid_, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        pid_ = -1;
        throw StartError(QStringLiteral("cannot start %1: %2")
                             .arg(QFile::decodeName(program), QString::fromLocal8Bit(std::strerror(spawned))));
    }

    QByteArray output;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (!output.contains('\n')) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{out[0], POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buffer[256];
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, static_cast<int>(n));
    }
    close(out[0]);
    const QByteArray line = output.left(output.indexOf('\n')).trimmed();
    if (!output.contains('\n') || !line.startsWith("PTY ")) {
        Stop();
        QFile err(errPath);
        const QString reason =
            err.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(err.readAll()).trimmed() : QString();
        throw StartError(QStringLiteral("no \"PTY <path>\" line within %1 s (output \"%2\", errors \"%3\")")
                             .arg(kStartTimeoutMs / 1000)
                             .arg(QString::fromLocal8Bit(output), reason));
    }
    ptyPath_ = QString::fromLocal8Bit(line.mid(4));
}

SimProcess::~SimProcess() { Stop(); }

int SimProcess::Stop() {
    if (pid_ <= 0) return exitStatus_;
    int status = 0;
    kill(pid_, SIGTERM);
    if (!WaitForExit(pid_, kStopTimeoutMs, status)) {
        kill(pid_, SIGKILL);
        WaitForExit(pid_, kStopTimeoutMs, status);
    }
    pid_ = -1;
    exitStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return exitStatus_;
}

std::unique_ptr<SimProcess> SimProcess::StartOrTell(const QStringList& extraArgs, const QString& simPath) {
    try {
        return std::make_unique<SimProcess>(extraArgs, simPath);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return nullptr;
    }
}

void SimProcess::LinkAsCom(const QString& configDir, int n) const {
    const QString folder = QDir(configDir).filePath(QStringLiteral("zir"));
    if (!QDir().mkpath(folder)) throw std::runtime_error(("cannot create " + folder).toStdString());
    const QString link = QDir(folder).filePath(QStringLiteral("com%1").arg(n));
    if (QFileInfo(link).isSymLink()) QFile::remove(link);
    if (symlink(QFile::encodeName(ptyPath_).constData(), QFile::encodeName(link).constData()) != 0)
        throw std::runtime_error(
            ("cannot make the link " + link + ": " + QString::fromLocal8Bit(std::strerror(errno))).toStdString());
}

QByteArray SimProcess::ReadLog() const {
    QFile file(logPath_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> SimProcess::ReceivedFrames() const { return FramesOf(ReadLog(), "RX"); }
QList<QByteArray> SimProcess::SentFrames() const { return FramesOf(ReadLog(), "TX"); }
