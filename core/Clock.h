#pragma once
// The program's one clock: monotonic milliseconds for timeouts and reply
// windows, the local date and time for what the operator reads (the log, the
// workbook names, today's bank), and the waiting on a descriptor, so that a
// virtual clock in tests runs every wait without sleeping.

#include <QDateTime>
#include <cstdint>

struct pollfd;

namespace zir {

class IClock {
public:
    virtual ~IClock() = default;
    // Monotonic milliseconds.
    virtual std::int64_t NowMs() = 0;
    // The computer's local date and time.
    virtual QDateTime Now() = 0;
    // poll() on one descriptor: waits until it is ready or timeoutMs have
    // passed (0: does not wait); returns what poll() returns.
    virtual int Poll(pollfd& descriptor, int timeoutMs) = 0;
};

class SystemClock final : public IClock {
public:
    std::int64_t NowMs() override;
    QDateTime Now() override;
    int Poll(pollfd& descriptor, int timeoutMs) override;
};

} // namespace zir
