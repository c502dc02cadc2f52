#include "core/Clock.h"

#include <poll.h>
#include <chrono>

namespace zir {

std::int64_t SystemClock::NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QDateTime SystemClock::Now() { return QDateTime::currentDateTime(); }

int SystemClock::Poll(pollfd& descriptor, int timeoutMs) { return ::poll(&descriptor, 1, timeoutMs); }

} // namespace zir
