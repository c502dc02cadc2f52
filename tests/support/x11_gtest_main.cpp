// Runs the GoogleTest cases inside a QApplication on a real X server: an
// Xvfb of its own, on the display number it picks, without a window manager.
#include <gtest/gtest.h>
#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

extern char** environ;

int main(int argc, char** argv) {
    int ready[2];
    if (::pipe(ready) != 0) return 1;
    ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
    // Xvfb writes its display number to `ready` once it takes connections.
    const std::string fd = std::to_string(ready[1]);
    const char* args[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp", nullptr};
    pid_t xvfb = 0;
    if (::posix_spawnp(&xvfb, "Xvfb", nullptr, nullptr, const_cast<char**>(args), environ) != 0) {
        std::fprintf(stderr, "Xvfb cannot be started (Debian package xvfb)\n");
        return 1;
    }
    ::close(ready[1]);
    QByteArray number;
    char chunk[16];
    ssize_t n = 0;
    while (!number.contains('\n') && (n = ::read(ready[0], chunk, sizeof chunk)) > 0) number.append(chunk, n);
    ::close(ready[0]);
    if (!number.contains('\n')) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return 1;
    }
    qputenv("DISPLAY", ":" + number.trimmed());
    qputenv("QT_QPA_PLATFORM", "xcb");
    int result = 1;
    {
        QTemporaryDir dataHome;
        qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        result = RUN_ALL_TESTS();
    }
    ::kill(xvfb, SIGTERM);
    ::waitpid(xvfb, nullptr, 0);
    return result;
}
