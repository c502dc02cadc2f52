#include "LineObserver.h"

#include <algorithm>

namespace zir {

QString VerdictText(const FrameCheck& check) {
    switch (check.verdict) {
    case FrameVerdict::Accepted: return QStringLiteral("accepted");
    case FrameVerdict::NoReply: return QStringLiteral("no reply");
    case FrameVerdict::PacketError: return QStringLiteral("packet error");
    case FrameVerdict::Rejected: break;
    }
    switch (check.reason) {
    case RejectReason::HeaderChecksum: return QStringLiteral("rejected: header checksum");
    case RejectReason::Length: return QStringLiteral("rejected: length");
    case RejectReason::DataChecksum: return QStringLiteral("rejected: data checksum");
    case RejectReason::None: break;
    }
    return QStringLiteral("rejected");
}

QString OutcomeText(RequestOutcome outcome) {
    switch (outcome) {
    case RequestOutcome::Reply: return QStringLiteral("reply");
    case RequestOutcome::NoAnswer: return QStringLiteral("no answer");
    case RequestOutcome::Cancelled: return QStringLiteral("cancelled");
    case RequestOutcome::Error: return QStringLiteral("error");
    }
    return {};
}

QString HexText(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

QString AsciiText(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (const char byte : bytes) {
        const auto code = static_cast<unsigned char>(byte);
        text += (code >= 0x20 && code <= 0x7E) ? QChar(code) : QChar(u'.');
    }
    return text;
}

namespace {

// Hex and ASCII of the bytes behind two blanks; nothing for no bytes.
QString BytesColumns(const QByteArray& bytes) {
    if (bytes.isEmpty()) return {};
    return QStringLiteral("  %1  |%2|").arg(HexText(bytes), AsciiText(bytes));
}

QString TimeText(QTime timeOfDay) {
    return timeOfDay.isValid() ? timeOfDay.toString(QStringLiteral("hh:mm:ss.zzz")) : QStringLiteral("--:--:--.---");
}

} // namespace

QString FormatLineEvent(const LineEvent& event, QTime timeOfDay) {
    QString line = TimeText(timeOfDay);
    switch (event.kind) {
    case LineEvent::Kind::Sent:
        line += QStringLiteral("  TX  #%1  %2 B").arg(event.attempt).arg(event.bytes.size());
        line += BytesColumns(event.bytes);
        if (!event.written) line += QStringLiteral("  write incomplete");
        break;
    case LineEvent::Kind::Read:
        line += QStringLiteral("  RX  %1 B  %2").arg(event.bytes.size()).arg(VerdictText(event.check));
        if (event.strayBytes > 0) line += QStringLiteral(", %1 stray bytes left out").arg(event.strayBytes);
        line += BytesColumns(event.bytes);
        break;
    case LineEvent::Kind::RequestEnd:
        line += QStringLiteral("  END");
        if (event.attempt > 0) line += QStringLiteral("  #%1").arg(event.attempt);
        line += QStringLiteral("  %1  %2 ms").arg(OutcomeText(event.outcome)).arg(event.durationMs);
        if (!event.message.isEmpty()) line += QStringLiteral("  ") + event.message;
        break;
    }
    return line;
}

void LineCounters::Add(const LineEvent& event) {
    switch (event.kind) {
    case LineEvent::Kind::Sent: ++framesSent; return;
    case LineEvent::Kind::Read:
        switch (event.check.verdict) {
        case FrameVerdict::Accepted: ++accepted; break;
        case FrameVerdict::NoReply: ++noReply; break;
        case FrameVerdict::PacketError: ++packetErrors; break;
        case FrameVerdict::Rejected:
            switch (event.check.reason) {
            case RejectReason::HeaderChecksum: ++rejectedHeader; break;
            case RejectReason::Length: ++rejectedLength; break;
            case RejectReason::DataChecksum: ++rejectedData; break;
            case RejectReason::None: break; // the codec gives every rejection its reason
            }
            break;
        }
        return;
    case LineEvent::Kind::RequestEnd:
        ++requests;
        switch (event.outcome) {
        case RequestOutcome::Reply:
            if (event.attempt <= 1)
                ++firstAttempt;
            else
                ++retried;
            replyTimeTotalMs += event.durationMs;
            replyTimeMaxMs = std::max(replyTimeMaxMs, event.durationMs);
            break;
        case RequestOutcome::NoAnswer: ++notAnswered; break;
        case RequestOutcome::Cancelled: ++cancelled; break;
        case RequestOutcome::Error: ++errors; break;
        }
        return;
    }
}

std::optional<std::int64_t> LineCounters::MeanReplyTimeMs() const {
    const std::int64_t answered = Answered();
    if (answered == 0) return std::nullopt;
    return (replyTimeTotalMs + answered / 2) / answered;
}

} // namespace zir
