#include "sim/Server.h"

#include <poll.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace zir::sim {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using Clock = std::chrono::steady_clock;

// Bytes of an incomplete frame that have been still this long are given up.
constexpr milliseconds kStaleGap{1000};
// A reply that cannot be written for this long (nobody reads) is dropped.
constexpr milliseconds kWriteGiveUp{1000};

timespec ToTimespec(nanoseconds d) {
    if (d < nanoseconds::zero()) d = nanoseconds::zero();
    return timespec{static_cast<time_t>(d.count() / 1'000'000'000), static_cast<long>(d.count() % 1'000'000'000)};
}

std::runtime_error LineError(const char* what) {
    return std::runtime_error(std::string(what) + ": " + std::strerror(errno));
}

} // namespace

SteadyTime Pacing::ReplyStart(SteadyTime firstByteAt, int requestBytes, SteadyTime now) const {
    if (!enabled) return now;
    return firstByteAt + WireTime(requestBytes) + milliseconds(turnaroundMs);
}

Server::Server(int lineFd, int stopFd, Instrument& instrument, FaultInjector& faults, FrameLog* log, Pacing pacing)
    : lineFd_(lineFd), stopFd_(stopFd), instrument_(instrument), faults_(faults), log_(log), pacing_(pacing) {}

void Server::Log(const char* direction, const QByteArray& bytes) {
    if (log_) log_->Write(QString::fromLatin1(direction), bytes);
}

bool Server::WaitUntil(SteadyTime deadline) {
    for (;;) {
        const auto remaining = deadline - Clock::now();
        if (remaining <= nanoseconds::zero()) return !stopping_;
        pollfd p{stopFd_, POLLIN, 0};
        const timespec timeout = ToTimespec(std::chrono::duration_cast<nanoseconds>(remaining));
        if (ppoll(&p, 1, &timeout, nullptr) > 0) {
            stopping_ = true;
            return false;
        }
    }
}

bool Server::Send(const QByteArray& bytes) {
    // On a real line byte k has fully arrived (k + 1) byte times after the
    // reply starts; hand it over no earlier, so the peer sees a true pace.
    const SteadyTime start = Clock::now();
    int sent = 0;
    while (sent < bytes.size()) {
        int chunk = static_cast<int>(bytes.size()) - sent;
        if (pacing_.enabled) {
            if (!WaitUntil(start + pacing_.WireTime(sent + 1))) return false;
            chunk = 1;
        }
        const ssize_t n = write(lineFd_, bytes.constData() + sent, static_cast<size_t>(chunk));
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) throw LineError("cannot write to the line");
        pollfd p{lineFd_, POLLOUT, 0};
        if (poll(&p, 1, static_cast<int>(kWriteGiveUp.count())) <= 0)
            return false; // nobody drains the line: the rest of the reply is lost, as on a wire
    }
    return true;
}

void Server::Serve(const LinePiece& piece) {
    if (piece.kind == LinePiece::Kind::Junk || (rateCheck_ && !rateCheck_())) {
        Log("DROP", piece.bytes);
        return;
    }
    Log("RX", piece.bytes);
    const Answer answer = instrument_.Handle(piece.bytes);
    const Outcome outcome = faults_.Apply(answer, instrument_);
    if (!outcome.bytes) return;
    const SteadyTime start = pacing_.ReplyStart(piece.firstByteAt, static_cast<int>(piece.bytes.size()), Clock::now()) +
                             milliseconds(outcome.delayMs);
    if (!WaitUntil(start)) return;
    Log("TX", *outcome.bytes);
    Send(*outcome.bytes);
}

void Server::Run() {
    char buffer[512];
    while (!stopping_) {
        pollfd fds[2] = {{lineFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
        const int timeout = splitter_.Empty() ? -1 : static_cast<int>(kStaleGap.count() / 2);
        const int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) throw LineError("cannot wait for the line");
        if (fds[1].revents & POLLIN) return;
        if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            const ssize_t n = read(lineFd_, buffer, sizeof buffer);
            if (n > 0) {
                splitter_.Feed(QByteArray(buffer, static_cast<int>(n)), Clock::now());
            } else if (n == 0 || errno == EIO) {
                // A pseudo-terminal reports EIO while no one has its other
                // side open; a real device that vanished does the same.
                // Wait a little instead of spinning, then try again.
                pollfd stop{stopFd_, POLLIN, 0};
                if (poll(&stop, 1, 50) > 0) return;
            } else if (errno != EAGAIN && errno != EINTR) {
                throw LineError("cannot read the line");
            }
        }
        while (auto piece = splitter_.Next()) {
            Serve(*piece);
            if (stopping_) return;
        }
        while (auto stale = splitter_.DropStale(Clock::now(), kStaleGap)) {
            Serve(*stale);
            if (stopping_) return;
        }
    }
}

} // namespace zir::sim
