#include "device/Clock.h"

#include <QDate>
#include <QTime>

#include "core/DateText.h"
#include "device/BankLetter.h"
#include "device/DeviceRequest.h"
#include "link/ZebusModTransport.h"
#include "link/numFormats.h"

namespace zir {

namespace {

const QByteArray kClockRequest = QByteArrayLiteral("XT");

// Reply offsets (the frame data begin at 14).
constexpr int kMinuteOffset = 17;
constexpr int kHourOffset = 18;
constexpr int kDayOffset = 19;
constexpr int kMonthOffset = 20;
constexpr int kYearOffset = 21;
constexpr int kBankOffset = 22;

int BcdAt(const QByteArray& reply, int offset) { return DecodeBcd(FrameByte(reply, offset)); }

} // namespace

ClockReading DecodeClockReply(const QByteArray& reply) {
    if (reply.size() != kClockReplySize)
        throw EConvertError(QStringLiteral("Clock reply of %1 bytes").arg(reply.size()));
    const int minute = BcdAt(reply, kMinuteOffset);
    const int hour = BcdAt(reply, kHourOffset);
    const int day = BcdAt(reply, kDayOffset);
    const int month = BcdAt(reply, kMonthOffset);
    const int year = 2000 + BcdAt(reply, kYearOffset);

    const QDate date(year, month, day);
    const QTime time(hour, minute);
    if (!date.isValid() || !time.isValid()) {
        throw EConvertError(
            QString::asprintf("'%04d-%02d-%02d %02d:%02d:%02d.%03d' "
                              "is not a valid date and time",
                              year, month, day, hour, minute, 0, 0));
    }
    const std::uint8_t letter = FrameByte(reply, kBankOffset);
    return ClockReading{QDateTime(date, time), letter, BankNumberOf(letter)};
}

QString ClockDisplayText(const ClockReading& reading) {
    return DateTimeToText(reading.moment) + QStringLiteral("   (") + QString::number(reading.bankIndex) +
           QLatin1Char(')');
}

std::optional<ClockReading> ReadClock(const DeviceContext& ctx) {
    ctx.status.SetStatus(QString());
    const QByteArray reply = RequestRead(ctx, kClockRequest);
    if (reply.isEmpty()) {
        ctx.status.SetStatus(QStringLiteral("Device didn't answer"));
        return std::nullopt;
    }
    if (reply.size() != kClockReplySize) {
        ctx.status.SetStatus(QStringLiteral("Reading time error"));
        return std::nullopt;
    }
    // Decoded before success is shown, so that a reply with an impossible
    // date never leaves the success text in the status line.
    try {
        const ClockReading reading = DecodeClockReply(reply);
        ctx.status.SetStatus(QStringLiteral("Time readed"));
        return reading;
    } catch (const EConvertError&) {
        ctx.status.SetStatus(QStringLiteral("Reading time error"));
        throw;
    }
}

std::optional<QString> ReadDeviceTime(const DeviceContext& ctx) {
    const std::optional<ClockReading> reading = ReadClock(ctx);
    if (!reading) return std::nullopt;
    return ClockDisplayText(*reading);
}

std::optional<std::uint8_t> ReadCurrentBankLetter(const DeviceContext& ctx) {
    const QByteArray reply = RequestRead(ctx, kClockRequest);
    if (reply.size() != kClockReplySize) return std::nullopt;
    return FrameByte(reply, kBankOffset);
}

} // namespace zir
