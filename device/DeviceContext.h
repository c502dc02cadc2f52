#pragma once
// What a device operation is given when the window runs it: the link to the
// instrument, the address typed in the window, and where to report.

#include <QString>

#include "core/StatusLine.h"
#include "link/Exchange.h"

namespace zir {

// The progress window, driven the same way by every long operation:
// Prepare(max) sets position 0, maximum, position 0; Show() only when the
// operator wants progress shown; SetProgress(steps done); Close() at the end
// however the operation ends.
class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void Prepare(int maxValue) = 0;
    virtual void Show() = 0;
    virtual void SetProgress(int position) = 0;
    virtual void Close() = 0;
};

// Progress that goes nowhere: for a reading that must leave the progress
// window alone, and for runs without a window.
class NoProgress final : public IProgress {
public:
    void Prepare(int) override {}
    void Show() override {}
    void SetProgress(int) override {}
    void Close() override {}
};

struct DeviceContext {
    IDeviceLink& link;
    QString deviceAddress; // text of LE_DeviceAdr
    IStatusLine& status;
    IProgress& progress;
    bool showProgress = true; // NProgressCheck
};

// Prepares the progress window, shows it when asked, and closes it however
// the operation ends.
class ProgressGuard {
public:
    ProgressGuard(const DeviceContext& ctx, int maxValue) : progress_(ctx.progress) {
        progress_.Prepare(maxValue);
        if (ctx.showProgress) progress_.Show();
    }
    ~ProgressGuard() { progress_.Close(); }
    ProgressGuard(const ProgressGuard&) = delete;
    ProgressGuard& operator=(const ProgressGuard&) = delete;
    void Set(int position) { progress_.SetProgress(position); }

private:
    IProgress& progress_;
};

} // namespace zir
