#pragma once
// Holds the paints of a window part that changes faster than the eye follows
// (the archive list growing by a line per record, the progress gauge, the
// status line) to at most one per kIntervalMs. A change held back is shown
// at the next paint moment once the interval has passed: while an exchange
// waits for its reply (PaintIfDue), or by a timer when the event loop runs.

#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/Clock.h"

namespace zir {

class TPaintPacer {
public:
    // About 30 paints a second.
    static constexpr std::int64_t kIntervalMs = 33;

    // `show` brings the change on screen (paints it, or has it painted).
    explicit TPaintPacer(std::function<void()> show);
    TPaintPacer(const TPaintPacer&) = delete;
    TPaintPacer& operator=(const TPaintPacer&) = delete;

    // The clock the interval is measured on; nullptr (the default) is steady
    // time. Not owned.
    void SetClock(IClock* clock);

    // A change to show: shown now when the last showing is at least the
    // interval ago (or there was none), otherwise once it is.
    void Request();
    // A change to show at the next paint moment, at the latest by the timer
    // one interval from now.
    void RequestLater();
    // Shows a held-back change whose time has come; true when it did.
    bool PaintIfDue();
    // Shows a held-back change now, whatever the time.
    void Flush();
    bool Pending() const { return pending_; }

private:
    bool Due() const;
    void Show();
    void ArmTimer();

    std::function<void()> show_;
    SystemClock steady_;
    IClock* clock_ = &steady_;
    std::optional<std::int64_t> lastShown_;
    bool pending_ = false;
    QTimer timer_;
};

} // namespace zir
