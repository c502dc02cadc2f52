#include "cli/TerminalProgress.h"

#include <QString>
#include <algorithm>
#include <cmath>

namespace zir::cli {

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

TTerminalProgress::TTerminalProgress(const IStatusLine& status, IClock& clock, std::FILE* out, bool enabled)
    : status_(status), clock_(clock), out_(out), enabled_(enabled) {}

void TTerminalProgress::Prepare(int maxValue) {
    max_ = maxValue;
    startMs_ = clock_.NowMs();
    drawn_ = false;
}

void TTerminalProgress::SetProgress(int position) {
    if (!enabled_) return;
    const std::int64_t now = clock_.NowMs();
    if (drawn_ && position < max_ && now - lastShownMs_ < kRedrawMs) return;
    lastShownMs_ = now;
    drawn_ = true;
    const double seconds = static_cast<double>(now - startMs_) / 1000.0;
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
