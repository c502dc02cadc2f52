// libFuzzer target: the clock reply ("XT") as the clock read receives it.
// Checks the verdict (time shown, reading error, conversion error, no
// answer) against the reply's own fields, and that a shown moment carries
// the reply's date, time and bank back: encoded again, they give the bytes
// that came (where those were packed BCD).
//
// Runs in a time zone with daylight saving time, so that a reply in the hour
// that the spring change skips is tried as well.
#include <QDateTime>
#include <cstdlib>

#include "device/Clock.h"
#include "fuzz/FuzzSupport.h"

using namespace zir;
using namespace zir::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitTarget(TimeZone::WithDaylightSaving); }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplyScript script(Bytes(data, size));
    ScriptedInstrument instrument(script);
    RecordedWindow window;
    const DeviceContext ctx = window.Context(instrument.link, kFuzzAddress);

    std::optional<QString> shown;
    bool conversionError = false;
    try {
        shown = ReadDeviceTime(ctx);
    } catch (const EConvertError& error) {
        conversionError = true;
        Require(error.message().endsWith(QLatin1String(" is not a valid date and time")), "conversion error text",
                error.message());
    }
    Require(instrument.Requests().size() == 1 && instrument.Requests()[0] == ReadRequest("XT"), "one clock request");
    const QByteArray& reply = instrument.replies[0];
    const QString status = window.status.Status();

    if (reply.isEmpty()) {
        Require(!shown && !conversionError && status == QLatin1String("Device didn't answer"), "no reply", status);
        return 0;
    }
    if (reply.size() != kClockReplySize) {
        Require(!shown && !conversionError && status == QLatin1String("Reading time error"), "other length", status);
        return 0;
    }

    const int minute = DecodeBcd(ByteAt(reply, 17));
    const int hour = DecodeBcd(ByteAt(reply, 18));
    const int day = DecodeBcd(ByteAt(reply, 19));
    const int month = DecodeBcd(ByteAt(reply, 20));
    const int year = 2000 + DecodeBcd(ByteAt(reply, 21));
    const bool valid = IsCalendarDate(year, month, day) && hour < 24 && minute < 60;
    if (!valid) {
        Require(!shown && conversionError && status == QLatin1String("Reading time error"), "impossible moment",
                status);
        return 0;
    }
    Require(shown.has_value() && !conversionError && status == QLatin1String("Time readed"), "time shown", status);

    const ClockReading reading = DecodeClockReply(reply);
    Require(*shown == ClockDisplayText(reading), "shown text is the reading's");
    const QDateTime& moment = reading.moment;
    const int values[] = {moment.time().minute(), moment.time().hour(), moment.date().day(), moment.date().month(),
                          moment.date().year() - 2000};
    for (int i = 0; i < 5; ++i) {
        const std::uint8_t byte = ByteAt(reply, 17 + i);
        if (IsPackedBcd(byte))
            Require(PackedBcd(values[i]) == byte, "moment encodes back to the reply's clock bytes",
                    moment.toString(Qt::ISODate));
        else
            Require(DecodeBcd(byte) == values[i], "non-BCD byte read as its nibbles");
    }
    Require(moment.time().second() == 0 && moment.time().msec() == 0, "no seconds in the reply");
    const std::uint8_t letter = ByteAt(reply, 22);
    Require(reading.bankLetter == letter && reading.bankIndex == static_cast<std::uint8_t>(letter - 'A'),
            "bank index is the letter minus A");
    Require(shown->endsWith(QStringLiteral("   (%1)").arg(reading.bankIndex)), "shown text ends with the bank");
    const bool midnight = hour == 0 && minute == 0;
    Require(shown->startsWith(ShortDateText(moment.date())) && shown->contains(LongTimeText(moment.time())) != midnight,
            "date shown, time shown unless midnight", *shown);
    return 0;
}
