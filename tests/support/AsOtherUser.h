#pragma once
// Runs a piece of a test as another user, so access checks meet a real
// "permission denied": a forked child drops to the uid and gid of "nobody"
// with the supplementary groups given, runs the body and hands its text back
// through a pipe. Needs root (the tests run as root); AsOtherUserAvailable()
// tells whether it can be used here.

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>
#include <stdexcept>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/SystemIo.h"

namespace zir::test {

inline constexpr uid_t kOtherUid = 65534; // "nobody" on Debian
inline constexpr gid_t kOtherGid = 65534; // "nogroup"

inline bool AsOtherUserAvailable() { return ::geteuid() == 0 && ::getpwuid(kOtherUid) != nullptr; }

inline QString OtherUserName() {
    const passwd* entry = ::getpwuid(kOtherUid);
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

// The body's result; std::runtime_error when the child could not drop its
// privileges or died.
inline QString AsOtherUser(const std::vector<gid_t>& groups, const std::function<QString()>& body) {
    int out[2];
    if (::pipe(out) != 0) throw std::runtime_error("no pipe");
    const pid_t child = ::fork();
    if (child < 0) throw std::runtime_error("no fork");
    if (child == 0) {
        ::close(out[0]);
        const bool dropped = ::setgroups(groups.size(), groups.data()) == 0 &&
                             ::setresgid(kOtherGid, kOtherGid, kOtherGid) == 0 &&
                             ::setresuid(kOtherUid, kOtherUid, kOtherUid) == 0;
        if (!dropped) ::_exit(3);
        QByteArray text;
        try {
            text = body().toUtf8();
        } catch (const std::exception& error) {
            text = QByteArray("exception: ") + error.what();
        }
        ::_exit(WriteWhole(out[1], text) == 0 ? 0 : 4);
    }
    ::close(out[1]);
    QByteArray text;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        text.append(buffer, n);
    }
    ::close(out[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the child as another user failed");
    return QString::fromUtf8(text);
}

} // namespace zir::test
