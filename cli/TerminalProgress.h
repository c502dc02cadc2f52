#pragma once
// The progress of a long operation on one line of a terminal, rewritten in
// place: what runs (the status text), steps done and total, percentage,
// rate and time left. Shown only when enabled (stderr is a terminal and
// neither --quiet nor --trace is given); the line is cleared at the end.

#include <chrono>
#include <cstdio>

#include "device/DeviceContext.h"

namespace zir::cli {

// "Reading of archive bank 3: 420/1443  29%  33.6/s  0:30 left"; the rate
// and the time left appear once a step has been done.
QString ProgressText(const QString& what, int done, int total, double seconds);

class TTerminalProgress final : public IProgress {
public:
    TTerminalProgress(const IStatusLine& status, std::FILE* out, bool enabled);

    void Prepare(int maxValue) override;
    void Show() override {}
    void SetProgress(int position) override;
    void Close() override;

private:
    using Clock = std::chrono::steady_clock;

    const IStatusLine& status_;
    std::FILE* out_;
    bool enabled_;
    int max_ = 0;
    Clock::time_point start_;
    Clock::time_point lastShown_;
    bool shown_ = false;
};

} // namespace zir::cli
