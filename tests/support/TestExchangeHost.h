#pragma once
// The window's side of an exchange for tests and benchmarks: port number,
// speed, an Escape key that answers as told, and what happens once a request
// is on the line.

#include <QList>
#include <algorithm>
#include <cstdint>
#include <functional>

#include "link/Exchange.h"

namespace zir::test {

class TestExchangeHost final : public IExchangeHost {
public:
    int portNumber = 1;
    int baud = 19200;
    std::function<bool()> escape = [] { return false; };
    int escapeProbes = 0;
    std::function<void()> requestSent = [] {};

    int PortNumber() const override { return portNumber; }
    int BaudRate() const override { return baud; }
    bool EscapeHeld() override {
        ++escapeProbes;
        return escape();
    }
    void RequestSent() override { requestSent(); }
};

// Escape held during the spans [fromMs, toMs) of a clock's milliseconds.
struct HeldSpan {
    std::int64_t fromMs;
    std::int64_t toMs;
};
inline std::function<bool()> EscapeHeldDuring(IClock& clock, QList<HeldSpan> spans) {
    return [&clock, spans] {
        const std::int64_t now = clock.NowMs();
        return std::any_of(spans.begin(), spans.end(),
                           [&](const HeldSpan& s) { return now >= s.fromMs && now < s.toMs; });
    };
}

} // namespace zir::test
