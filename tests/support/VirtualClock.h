#pragma once
// The clock of tests: virtual milliseconds that move only when the code under
// test waits, a fixed local date and time that moves with them, and actions
// scheduled at a virtual time (a byte arriving, the other side hanging up).
// A wait through Poll() looks at the descriptor without blocking; when it is
// not ready, time jumps to the next action or to the end of the wait.

#include <QDateTime>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include <poll.h>

#include "core/Clock.h"

namespace zir::test {

class VirtualClock final : public IClock {
public:
    std::int64_t now = 0;
    // What Now() gives at virtual time 0.
    QDateTime wallAtZero = QDateTime(QDate(2024, 5, 17), QTime(12, 0));

    std::int64_t NowMs() override { return now; }
    QDateTime Now() override { return wallAtZero.addMSecs(now); }

    // Runs `action` once a wait reaches virtual time atMs.
    void At(std::int64_t atMs, std::function<void()> action) {
        const auto at = std::upper_bound(actions_.begin(), actions_.end(), atMs,
                                         [](std::int64_t t, const Action& a) { return t < a.atMs; });
        actions_.insert(at, Action{atMs, std::move(action)});
    }

    int Poll(pollfd& descriptor, int timeoutMs) override {
        const std::int64_t deadline = now + std::max(timeoutMs, 0);
        int settleMs = 0;
        for (;;) {
            const int ready = ::poll(&descriptor, 1, settleMs);
            if (ready != 0) return ready;
            if (actions_.empty() || actions_.front().atMs > deadline) {
                now = deadline;
                return 0;
            }
            Action action = std::move(actions_.front());
            actions_.erase(actions_.begin());
            now = std::max(now, action.atMs);
            action.run();
            // What the action did (bytes written, a hang-up) reaches the
            // descriptor through the kernel: give it real time to arrive.
            settleMs = kSettleMs;
        }
    }

private:
    static constexpr int kSettleMs = 500;
    struct Action {
        std::int64_t atMs;
        std::function<void()> run;
    };
    std::vector<Action> actions_;
};

} // namespace zir::test
