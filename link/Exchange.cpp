#include "Exchange.h"

#include "PortNaming.h"
#include "ZebusModTransport.h"

namespace zir {

TExchange::TExchange(IByteChannel& port, IExchangeHost& host, IStatusLine& status, IClock& clock)
    : port_(port), host_(host), status_(status), clock_(clock) {}

void TExchange::OpenComPort() {
    const int n = host_.PortNumber();
    if (n < kMinPortNumber || n > kMaxPortNumber)
        throw EPortError(QStringLiteral("COM-port %1 does not exist (ports are %2 to %3)")
                             .arg(n)
                             .arg(kMinPortNumber)
                             .arg(kMaxPortNumber));
    // The port number is given first and stays set even when the speed
    // field does not convert.
    port_.SetPortNumber(n);
    const int baud = host_.BaudRate();
    if (baud <= 0) throw EConvertError(QStringLiteral("'%1' is not a valid baud rate").arg(baud));
    port_.SetBaudRateValue(static_cast<std::uint32_t>(baud));
    // A long operation whose port was in use when it began takes the lock
    // as soon as it is free (before the open, which would take it itself).
    if (holdDepth_ > 0) port_.HoldLock();
    if (!port_.Open())
        throw EPortError(QStringLiteral("COM-port %1 can't be opened: %2").arg(n).arg(port_.LastError()));
}

void TExchange::HoldPort() {
    if (holdDepth_++ > 0) return;
    const int n = host_.PortNumber();
    if (n < kMinPortNumber || n > kMaxPortNumber) return; // the first open reports it
    port_.SetPortNumber(n);
    port_.HoldLock();
}

void TExchange::ReleasePort() {
    if (holdDepth_ == 0 || --holdDepth_ > 0) return;
    port_.ReleaseLock();
}

void TExchange::CloseComPort() { port_.Close(); }

void TExchange::FailPortGone() {
    const QString reason = port_.LastError();
    port_.Close();
    throw EPortError(QStringLiteral("COM-port %1 stopped working: %2").arg(host_.PortNumber()).arg(reason));
}

QByteArray TExchange::ReadString() {
    IByteChannel::CompletePredicate wholeFrame;
    if (!pureSilence_) {
        // A whole valid frame is in: no need to wait for the line to fall silent.
        wholeFrame = [](const QByteArray& bytes) { return FindWholeFrame(bytes).has_value(); };
    }
    const QByteArray bytes = port_.ReadBytes(kReadLimit, wholeFrame);
    if (port_.DeviceGone()) FailPortGone();
    FrameCheck check = CheckFrame(bytes);
    // Bytes left over from an earlier reply before the frame, or stray bytes
    // behind it: the whole frame among them is the reply.
    std::optional<QByteArray> frame;
    if (check.verdict == FrameVerdict::Rejected) {
        frame = FindWholeFrame(bytes);
        if (frame) check = FrameCheck{FrameVerdict::Accepted, RejectReason::None};
    }
    if (observer_) {
        LineEvent event;
        event.kind = LineEvent::Kind::Read;
        event.timeMs = clock_.NowMs();
        event.attempt = attempt_;
        event.bytes = bytes;
        event.check = check;
        if (frame) event.strayBytes = static_cast<int>(bytes.size() - frame->size());
        observer_->OnLineEvent(event);
    }
    switch (check.verdict) {
    case FrameVerdict::Accepted: return frame ? *frame : bytes;
    case FrameVerdict::PacketError: throw EProtocolCancel(QStringLiteral("Paket's error"));
    case FrameVerdict::NoReply:
    case FrameVerdict::Rejected: break;
    }
    return {};
}

void TExchange::ExchangeAttempt(int windowMs, const QByteArray& frame, QByteArray& reply, bool firstAttempt) {
    if (host_.EscapeHeld()) {
        status_.SetStatus(QStringLiteral("Canceled"));
        // Closed here so the next command opens the port it is told to.
        port_.Close();
        throw EProtocolCancel(QStringLiteral("Canceled"));
    }
    if (!reply.isEmpty()) return;
    if (!port_.IsOpen()) {
        // Nothing could come back; report it instead of waiting out the window.
        throw EPortError(QStringLiteral("COM-port %1 is not open").arg(host_.PortNumber()));
    }
    try {
        // What is waiting before the first send is left over from an earlier
        // reply; at a later attempt it may be this request's late answer.
        if (firstAttempt) port_.DiscardInput();
        const bool written = port_.SendText(frame);
        const std::int64_t start = clock_.NowMs();
        if (observer_) {
            LineEvent event;
            event.kind = LineEvent::Kind::Sent;
            event.timeMs = start;
            event.attempt = attempt_;
            event.bytes = frame;
            event.written = written;
            observer_->OnLineEvent(event);
        }
        if (port_.DeviceGone()) FailPortGone();
        host_.RequestSent();
        for (;;) {
            reply = ReadString();
            if (!reply.isEmpty()) return;
            if (clock_.NowMs() - start > windowMs) return;
        }
    } catch (const EPortError&) {
        throw;
    } catch (...) {
        // Short packets and other failures inside an attempt are absorbed.
        reply.clear();
    }
}

void TExchange::ReportEnd(std::int64_t startMs, RequestOutcome outcome, const QByteArray& reply,
                          const QString& message) {
    LineEvent event;
    event.kind = LineEvent::Kind::RequestEnd;
    event.timeMs = clock_.NowMs();
    event.attempt = outcome == RequestOutcome::Reply ? replyAttempt_ : attempt_;
    event.bytes = reply;
    event.outcome = outcome;
    event.durationMs = event.timeMs - startMs;
    event.message = message;
    observer_->OnLineEvent(event);
}

QByteArray TExchange::SendCommand(const QByteArray& frame) { return RunAttempts(frame, kAttemptWindowsMs); }

QByteArray TExchange::SendOnce(const QByteArray& frame, int windowMs) {
    const int windows[] = {windowMs};
    return RunAttempts(frame, windows);
}

QByteArray TExchange::RunAttempts(const QByteArray& frame, std::span<const int> windowsMs) {
    const std::int64_t startMs = observer_ ? clock_.NowMs() : 0;
    QByteArray reply;
    attempt_ = 0;
    replyAttempt_ = 0;
    try {
        for (const int windowMs : windowsMs) {
            ++attempt_;
            ExchangeAttempt(windowMs, frame, reply, attempt_ == 1);
            if (!reply.isEmpty() && replyAttempt_ == 0) replyAttempt_ = attempt_;
        }
    } catch (const EProtocolCancel& error) {
        if (observer_) ReportEnd(startMs, RequestOutcome::Cancelled, {}, error.message());
        attempt_ = 0;
        throw;
    } catch (const std::exception& error) {
        if (observer_) ReportEnd(startMs, RequestOutcome::Error, {}, QString::fromUtf8(error.what()));
        attempt_ = 0;
        throw;
    }
    if (observer_) ReportEnd(startMs, reply.isEmpty() ? RequestOutcome::NoAnswer : RequestOutcome::Reply, reply, {});
    attempt_ = 0;
    return reply;
}

QByteArray TExchange::Request(const QByteArray& frame) {
    const std::int64_t startMs = observer_ ? clock_.NowMs() : 0;
    try {
        OpenComPort();
    } catch (const std::exception& error) {
        // The request ends before its first attempt.
        if (observer_) {
            attempt_ = 0;
            ReportEnd(startMs, RequestOutcome::Error, {}, QString::fromUtf8(error.what()));
        }
        throw;
    }
    QByteArray reply;
    try {
        reply = SendCommand(frame);
    } catch (...) {
        CloseComPort();
        throw;
    }
    CloseComPort();
    return reply;
}

} // namespace zir
