#include "cli/TerminalProgress.h"

#include <QString>
#include <algorithm>
#include <cmath>

namespace zir::cli {

namespace {
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}

QString ProgressText(const QString& what, int done, int total, double seconds) {
    QString text = what.isEmpty() ? QString() : what + QStringLiteral(": ");
    text += QStringLiteral("%1/%2").arg(done).arg(total);
    if (total > 0) text += QStringLiteral("  %1%").arg(done * 100 / total);
    if (done > 0 && seconds > 0) {
        const double rate = done / seconds;
        const auto left = static_cast<long long>(std::lround(std::max(0, total - done) / rate));
        text += QStringLiteral("  %1/s  %2:%3 left")
                    .arg(rate, 0, 'f', 1)
                    .arg(left / 60)
                    .arg(left % 60, 2, 10, QLatin1Char('0'));
    }
    return text;
}

TTerminalProgress::TTerminalProgress(const IStatusLine& status, std::FILE* out, bool enabled)
    : status_(status), out_(out), enabled_(enabled) {}

void TTerminalProgress::Prepare(int maxValue) {
    max_ = maxValue;
    start_ = Clock::now();
    lastShown_ = Clock::time_point{};
}

void TTerminalProgress::SetProgress(int position) {
    if (!enabled_) return;
    const Clock::time_point now = Clock::now();
    if (position < max_ && now - lastShown_ < kRedrawInterval) return;
    lastShown_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const QByteArray line = ProgressText(status_.Status(), position, max_, seconds).toUtf8();
    // Carriage return, the text, and the rest of the old line erased.
    std::fprintf(out_, "\r%s\033[K", line.constData());
    std::fflush(out_);
    shown_ = true;
}

void TTerminalProgress::Close() {
    if (!shown_) return;
    std::fputs("\r\033[K", out_);
    std::fflush(out_);
    shown_ = false;
}

} // namespace zir::cli
