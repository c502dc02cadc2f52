#include "app/windows/PaintPacer.h"

#include <algorithm>

namespace zir {

TPaintPacer::TPaintPacer(std::function<void()> show) : show_(std::move(show)) {
    timer_.setSingleShot(true);
    // A coarse timer may fire a little early, which would only arm it again.
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        if (!PaintIfDue() && pending_) ArmTimer();
    });
}

void TPaintPacer::SetClock(IClock* clock) {
    clock_ = clock ? clock : &steady_;
    // A time taken on the other clock says nothing on this one.
    lastShown_.reset();
}

bool TPaintPacer::Due() const { return !lastShown_ || clock_->NowMs() - *lastShown_ >= kIntervalMs; }

void TPaintPacer::Request() {
    if (Due()) {
        Show();
        return;
    }
    pending_ = true;
    if (!timer_.isActive()) ArmTimer();
}

void TPaintPacer::RequestLater() {
    pending_ = true;
    if (!timer_.isActive()) timer_.start(static_cast<int>(kIntervalMs));
}

bool TPaintPacer::PaintIfDue() {
    if (!pending_ || !Due()) return false;
    Show();
    return true;
}

void TPaintPacer::Flush() {
    if (pending_) Show();
}

void TPaintPacer::Show() {
    pending_ = false;
    timer_.stop();
    lastShown_ = clock_->NowMs();
    show_();
}

void TPaintPacer::ArmTimer() {
    const std::int64_t since = lastShown_ ? clock_->NowMs() - *lastShown_ : kIntervalMs;
    timer_.start(static_cast<int>(std::clamp<std::int64_t>(kIntervalMs - since, 1, kIntervalMs)));
}

} // namespace zir
