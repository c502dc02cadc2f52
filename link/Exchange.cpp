#include "Exchange.h"

#include "PortNaming.h"
#include "ZebusModTransport.h"
#include "numFormats.h"

#include <chrono>

namespace zir {

std::int64_t SteadyClock::NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TExchange::TExchange(IByteChannel& port, IExchangeHost& host, IClock& clock)
    : port_(port), host_(host), clock_(clock)
{
}

void TExchange::OpenComPort()
{
    const int n = host_.PortNumber();
    if (n < 1 || n > 256)
        throw EPortError(QStringLiteral("COM-port %1 does not exist (ports are 1 to 256)").arg(n));
    // The port number is given first and stays set even when the speed text
    // does not convert.
    port_.SetPortNumber(n);
    const int baud = StrToInt(host_.SpeedText());
    if (baud <= 0)
        throw EConvertError(QStringLiteral("'%1' is not a valid baud rate").arg(host_.SpeedText()));
    port_.SetBaudRateValue(static_cast<std::uint32_t>(baud));
    if (!port_.Open())
        throw EPortError(QStringLiteral("COM-port %1 can't be opened: %2").arg(n).arg(port_.LastError()));
}

void TExchange::CloseComPort()
{
    port_.Close();
}

void TExchange::FailPortGone()
{
    const QString reason = port_.LastError();
    port_.Close();
    throw EPortError(QStringLiteral("COM-port %1 stopped working: %2").arg(host_.PortNumber()).arg(reason));
}

QByteArray TExchange::ReadString()
{
    IByteChannel::CompletePredicate wholeFrame;
    if (!pureSilence_) {
        // A whole valid frame is in: no need to wait for the line to fall silent.
        wholeFrame = [](const QByteArray& bytes) {
            const std::optional<int> expected = ExpectedFrameLength(bytes);
            return expected && *expected == bytes.size() && ValidateFrame(bytes) == FrameVerdict::Accepted;
        };
    }
    const QByteArray bytes = port_.ReadBytes(kReadLimit, wholeFrame);
    if (port_.DeviceGone())
        FailPortGone();
    switch (ValidateFrame(bytes)) {
    case FrameVerdict::Accepted: return bytes;
    case FrameVerdict::PacketError: throw EProtocolCancel(QStringLiteral("Paket's error"));
    case FrameVerdict::NoReply:
    case FrameVerdict::Rejected: break;
    }
    return {};
}

void TExchange::ExchangeAttempt(int windowMs, const QByteArray& frame, QByteArray& reply)
{
    if (host_.EscapeHeld()) {
        host_.SetStatus(QStringLiteral("Canceled"));
        // Closed here so the next command opens the port it is told to.
        port_.Close();
        throw EProtocolCancel(QStringLiteral("Canceled"));
    }
    if (!reply.isEmpty())
        return;
    if (!port_.IsOpen()) {
        // Nothing could come back; report it instead of waiting out the window.
        throw EPortError(QStringLiteral("COM-port %1 is not open").arg(host_.PortNumber()));
    }
    try {
        port_.SendText(frame);
        if (port_.DeviceGone())
            FailPortGone();
        const std::int64_t start = clock_.NowMs();
        host_.RequestSent();
        for (;;) {
            reply = ReadString();
            if (!reply.isEmpty())
                return;
            if (clock_.NowMs() - start > windowMs)
                return;
        }
    } catch (const EPortError&) {
        throw;
    } catch (...) {
        // Short packets and other failures inside an attempt are absorbed.
        reply.clear();
    }
}

QByteArray TExchange::SendCommand(const QByteArray& frame)
{
    QByteArray reply;
    for (const int windowMs : kAttemptWindowsMs)
        ExchangeAttempt(windowMs, frame, reply);
    return reply;
}

QByteArray TExchange::Request(const QByteArray& frame)
{
    OpenComPort();
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
