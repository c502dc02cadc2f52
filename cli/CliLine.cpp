#include "cli/CliLine.h"

#include "cli/Trace.h"
#include "core/Errors.h"
#include "link/ZebusModTransport.h"

namespace zir::cli {

TCliChannel::TCliChannel(TCPDrv& port, IClock& clock, QString devicePath, TraceSink trace,
                         std::function<bool()> stopRequested)
    : port_(port),
      clock_(clock),
      devicePath_(std::move(devicePath)),
      trace_(std::move(trace)),
      stopRequested_(std::move(stopRequested)) {}

void TCliChannel::SetPortNumber(int n) {
    if (devicePath_.isEmpty())
        port_.SetPortNumber(n);
    else
        port_.SetPortName(devicePath_);
}

bool TCliChannel::Open() {
    attempt_ = 0;
    replyInHand_ = false;
    if (port_.Open()) return true;
    if (!devicePath_.isEmpty()) throw EPortError(port_.LastError());
    return false;
}

void TCliChannel::LeaveWhenStopped() const {
    if (stopRequested_() && !replyInHand_) throw EProtocolCancel(QStringLiteral("Canceled"));
}

void TCliChannel::FailWhenGone() {
    if (devicePath_.isEmpty() || !port_.DeviceGone()) return;
    const QString reason = port_.LastError();
    port_.Close();
    throw EPortError(reason);
}

bool TCliChannel::SendText(const QByteArray& bytes) {
    LeaveWhenStopped();
    ++attempt_;
    if (trace_) trace_(TraceSentLine(clock_.Now().time(), attempt_, bytes));
    const bool sent = port_.SendText(bytes);
    FailWhenGone();
    return sent;
}

QByteArray TCliChannel::ReadBytes(int count, const CompletePredicate& complete) {
    LeaveWhenStopped();
    QByteArray bytes = port_.ReadBytes(count, complete);
    if (trace_) trace_(TraceReadLine(clock_.Now().time(), bytes));
    if (ValidateFrame(bytes) == FrameVerdict::Accepted) replyInHand_ = true;
    FailWhenGone();
    return bytes;
}

TCliHost::TCliHost(int portNumber, int baud, std::function<bool()> cancel)
    : portNumber_(portNumber), baud_(baud), cancel_(std::move(cancel)) {}

TCliLine::TCliLine(const CliOptions& options, TCliChannel::TraceSink trace, std::function<bool()> stopRequested)
    : channel_(port_, clock_, options.devicePath, std::move(trace), stopRequested),
      host_(options.port, options.baud, [this, stopRequested] { return stopRequested() && !channel_.ReplyInHand(); }),
      exchange_(channel_, host_, status_, clock_) {}

} // namespace zir::cli
