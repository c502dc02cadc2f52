#include "cli/CliLine.h"

#include "core/Errors.h"
#include "link/ZebusModTransport.h"

namespace zir::cli {

TCliChannel::TCliChannel(TCPDrv& port, QString devicePath, std::function<bool()> stopRequested)
    : port_(port), devicePath_(std::move(devicePath)), stopRequested_(std::move(stopRequested)) {}

void TCliChannel::SetPortNumber(int n) {
    if (devicePath_.isEmpty())
        port_.SetPortNumber(n);
    else
        port_.SetPortName(devicePath_);
}

bool TCliChannel::Open() {
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
    const bool sent = port_.SendText(bytes);
    FailWhenGone();
    return sent;
}

QByteArray TCliChannel::ReadBytes(int count, const CompletePredicate& complete) {
    LeaveWhenStopped();
    QByteArray bytes = port_.ReadBytes(count, complete);
    if (ValidateFrame(bytes) == FrameVerdict::Accepted) replyInHand_ = true;
    FailWhenGone();
    return bytes;
}

TCliHost::TCliHost(int portNumber, int baud, std::function<bool()> cancel)
    : portNumber_(portNumber), baud_(baud), cancel_(std::move(cancel)) {}

TCliLine::TCliLine(const CliOptions& options, TCliTrace::Sink trace, std::function<bool()> stopRequested)
    : channel_(port_, options.devicePath, stopRequested),
      host_(options.port, options.baud, [this, stopRequested] { return stopRequested() && !channel_.ReplyInHand(); }),
      exchange_(channel_, host_, status_, clock_),
      trace_(clock_, std::move(trace)) {
    if (options.trace) exchange_.SetObserver(&trace_);
}

} // namespace zir::cli
