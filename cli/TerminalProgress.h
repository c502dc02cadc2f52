#pragma once
// The progress of a long operation on one line of a terminal, rewritten in
// place: what runs (the status text), steps done and total, percentage,
// rate and time left. Shown only when enabled (stderr is a terminal and
// neither --quiet nor --trace is given); the line is cleared at the end.

#include <cstdint>
#include <cstdio>

#include "core/Clock.h"
#include "core/StatusLine.h"
#include "device/DeviceContext.h"

namespace zir::cli {

// "Reading of archive bank 3: 420/1443  29%  33.6/s  0:30 left"; the rate
// and the time left appear once a step has been done.
QString ProgressText(const QString& what, int done, int total, double seconds);

// Redrawn at most every kRedrawMs, and at the last step.
class TTerminalProgress final : public IProgress {
public:
    static constexpr std::int64_t kRedrawMs = 100;

    TTerminalProgress(const IStatusLine& status, IClock& clock, std::FILE* out, bool enabled);

    void Prepare(int maxValue) override;
    void Show() override {}
    void SetProgress(int position) override;
    void Close() override;

private:
    const IStatusLine& status_;
    IClock& clock_;
    std::FILE* out_;
    bool enabled_;
    int max_ = 0;
    std::int64_t startMs_ = 0;
    std::int64_t lastShownMs_ = 0;
    bool shown_ = false; // a line is on the terminal
    bool drawn_ = false; // drawn since Prepare
};

} // namespace zir::cli
