#include "cli/Trace.h"

#include "link/ZebusModTransport.h"

namespace zir::cli {

namespace {

QString Head(const QTime& at, const char* direction) {
    return at.toString(QStringLiteral("hh:mm:ss.zzz")) + QStringLiteral("  ") + QLatin1String(direction);
}

QString Length(const QByteArray& bytes) { return QStringLiteral("  %1 B").arg(bytes.size()); }

QString Hex(const QByteArray& bytes) {
    if (bytes.isEmpty()) return QString();
    return QStringLiteral("  ") + QString::fromLatin1(bytes.toHex(' ').toUpper());
}

QString Verdict(const QByteArray& bytes) {
    switch (ValidateFrame(bytes)) {
    case FrameVerdict::Accepted: return QStringLiteral("accepted");
    case FrameVerdict::Rejected: return QStringLiteral("rejected");
    case FrameVerdict::PacketError: return QStringLiteral("packet error");
    case FrameVerdict::NoReply: break;
    }
    return QStringLiteral("no reply");
}

} // namespace

QString TraceSentLine(const QTime& at, int attempt, const QByteArray& bytes) {
    return Head(at, "TX") + QStringLiteral("  #%1").arg(attempt) + Length(bytes) + Hex(bytes);
}

QString TraceReadLine(const QTime& at, const QByteArray& bytes) {
    return Head(at, "RX") + Length(bytes) + QStringLiteral("  ") + Verdict(bytes) + Hex(bytes);
}

} // namespace zir::cli
