#pragma once
// Holds the paints of a window part that changes faster than the eye follows
// (the archive list growing by a line per record, the progress gauge, the
// status line) to at most one per kIntervalMs. A change that comes sooner is
// shown once the interval has passed, by a timer when the event loop runs
// next; where an exchange holds the event loop up for long (an instrument
// that does not answer), by PaintIfOverdue().

#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

#include "link/Exchange.h"

namespace zir {

class TPaintPacer {
public:
    // About 30 paints a second.
    static constexpr std::int64_t kIntervalMs = 33;
    // A change held back this long is shown even while the event loop is
    // held up. Longer than one exchange with a prompt answer, which the
    // event loop follows anyway; shorter than a reply window of 1 s.
    static constexpr std::int64_t kOverdueMs = 250;

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
    // Shows a held-back change whose time has come; true when it did.
    bool PaintIfDue();
    // Shows a change held back for kOverdueMs or more; true when it did.
    bool PaintIfOverdue();
    // Shows a held-back change now, whatever the time.
    void Flush();
    bool Pending() const { return pending_; }

private:
    bool Due() const;
    void Show();
    void ArmTimer();

    std::function<void()> show_;
    SteadyClock steady_;
    IClock* clock_ = &steady_;
    std::optional<std::int64_t> lastShown_;
    std::int64_t pendingSince_ = 0;
    bool pending_ = false;
    QTimer timer_;
};

} // namespace zir
