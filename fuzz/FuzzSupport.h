#pragma once
// Shared by the libFuzzer targets: the invariant check that stops a run, the
// replies an input stands for, and the tests' stand-ins for the instrument's
// link, the window's status line and its progress window.
//
// An input for the reply decoders is a script of received replies, one after
// the other, each
//   mode (1 byte)  length L (1 byte)  L bytes
// Mode bit 0 clear: the L bytes are what arrived on the line, checksums and
// all. Bit 0 set: the bytes are a frame's fields, the first 10 being the
// header and the rest the data; the header checksum, the data checksum and
// (unless bit 1 is set too) the length field are filled in, so that most
// inputs reach the decoders as accepted frames. Either way the exchange's
// rules then apply: at most 280 bytes are read, and only a frame that
// ValidateFrame accepts is a reply; anything else is no reply.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <vector>

#include "core/DateText.h"
#include "core/NumberText.h"
#include "core/StatusLine.h"
#include "device/DeviceContext.h"
#include "link/Exchange.h"
#include "link/ZebusModTransport.h"
#include "link/numFormats.h"
#include "tests/support/FakeDeviceLink.h"
#include "tests/support/RecordingProgress.h"
#include "tests/support/RecordingStatus.h"

namespace zir::fuzz {

// A broken invariant: says which and aborts, which libFuzzer reports as a
// finding and keeps the input.
// What a decoding target sets up before its first input: the program's
// number formats and, for the targets that read dates and times, a time zone
// whose clocks change (the days of 23 and 25 hours).
enum class TimeZone { Machine, WithDaylightSaving };
inline int InitTarget(TimeZone zone = TimeZone::Machine) {
    if (zone == TimeZone::WithDaylightSaving) {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    InitNumberFormats();
    return 0;
}

[[noreturn]] inline void Broken(const char* what, const QString& detail = QString()) {
    std::fprintf(stderr, "invariant broken: %s %s\n", what, detail.toLocal8Bit().constData());
    std::abort();
}

inline void Require(bool condition, const char* what, const QString& detail = QString()) {
    if (!condition) Broken(what, detail);
}

inline QByteArray Bytes(const std::uint8_t* data, std::size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

inline std::uint8_t ByteAt(const QByteArray& bytes, qsizetype offset) {
    return static_cast<std::uint8_t>(bytes.at(offset));
}

// Reads the script of replies described above.
class ReplyScript {
public:
    explicit ReplyScript(QByteArray input) : input_(std::move(input)) {}

    bool AtEnd() const { return pos_ >= input_.size(); }

    // The next reply as the exchange would return it; empty for no reply and
    // once the script has run out.
    QByteArray Next() {
        if (AtEnd()) return {};
        const std::uint8_t mode = ByteAt(input_, pos_++);
        const qsizetype length = pos_ < input_.size() ? ByteAt(input_, pos_++) : 0;
        QByteArray bytes = input_.mid(pos_, length);
        pos_ += length;
        if (mode & 1) bytes = Repaired(bytes, (mode & 2) != 0);
        return ValidatedReply(bytes);
    }

    // The rest of the input, not taken by replies.
    QByteArray Rest() const { return input_.mid(pos_); }

    // Frame fields to a frame with good checksums.
    static QByteArray Repaired(QByteArray fields, bool keepLength) {
        if (fields.size() < 10) fields.append(QByteArray(10 - fields.size(), '\0'));
        QByteArray header = fields.first(10);
        const QByteArray data = fields.sliced(10);
        if (!keepLength) {
            header[8] = static_cast<char>(data.size() & 0xFF);
            header[9] = static_cast<char>(data.size() >> 8);
        }
        QByteArray frame = header + ChecksumBytes(header);
        if (!data.isEmpty()) frame += data + ChecksumBytes(data);
        return frame;
    }

    // What TExchange hands to a device operation for bytes that arrived in
    // one read: the bytes when they are an accepted frame, else nothing.
    static QByteArray ValidatedReply(const QByteArray& received) {
        const QByteArray read = received.first(std::min<qsizetype>(received.size(), TExchange::kReadLimit));
        return ValidateFrame(read) == FrameVerdict::Accepted ? read : QByteArray();
    }

private:
    QByteArray input_;
    qsizetype pos_ = 0;
};

// The instrument's side of the exchange: the tests' fake link, each request
// answered with the next reply of the script; the replies given are kept
// beside the requests it keeps.
class ScriptedInstrument {
public:
    explicit ScriptedInstrument(ReplyScript& script) {
        link.answer = [this, &script](const QByteArray&) {
            replies.push_back(script.Next());
            return replies.back();
        };
    }
    ScriptedInstrument(const ScriptedInstrument&) = delete;
    ScriptedInstrument& operator=(const ScriptedInstrument&) = delete;

    const std::vector<QByteArray>& Requests() const { return link.sent; }

    test::FakeDeviceLink link;
    std::vector<QByteArray> replies;
};

// The window's status line and progress window as the tests record them.
struct RecordedWindow {
    test::RecordingStatus status;
    test::RecordingProgress progress;

    DeviceContext Context(IDeviceLink& link, const QString& address) { return {link, address, status, progress, true}; }
    // The progress window was prepared once and closed once, at the end.
    bool ProgressOpenedAndClosedOnce() const {
        int prepared = 0, closed = 0;
        for (const QString& call : progress.calls) {
            prepared += call.startsWith(QLatin1String("Prepare ")) ? 1 : 0;
            closed += call == QLatin1String("Close") ? 1 : 0;
        }
        return prepared == 1 && closed == 1 && progress.calls.last() == QLatin1String("Close");
    }
};

inline const QString kFuzzAddress = QStringLiteral("255.255.255");

// The request a read sends to the instrument for `data`.
inline QByteArray ReadRequest(const QByteArray& data) {
    return BuildFrame(kFuzzAddress, kHostAddress, kKindRead, kControlRequest, data);
}

inline std::uint8_t PackedBcd(int value) { return static_cast<std::uint8_t>((value / 10) << 4 | (value % 10)); }

// The text of a value code stands for mantissa x 10^(power - 2) to the
// precision of a double, is "0" exactly for a zero mantissa, and, for a
// normalised mantissa (100..999), encodes back to the same code.
inline void CheckValueText(std::uint16_t code, const QString& text) {
    const int mantissa = code & 0x3FF;
    const int power = (code >> 10) >= 32 ? (code >> 10) - 64 : (code >> 10);
    if (mantissa == 0) {
        Require(text == QLatin1String("0"), "zero mantissa reads 0", text);
        return;
    }
    const std::optional<double> value = TryStrToFloat(text);
    Require(value.has_value(), "value text is a number", text);
    const long double exact = static_cast<long double>(mantissa) * std::pow(10.0L, static_cast<long double>(power - 2));
    Require(std::fabs((static_cast<long double>(*value) - exact) / exact) < 1e-14L, "value text has the code's value",
            text);
    if (mantissa >= 100 && mantissa <= 999)
        Require(EncodeValueCode(*value) == code, "value text encodes back to its code", text);
}

// Days of a month of the Gregorian calendar, counted here rather than asked
// of the date class whose verdict is being checked.
inline int DaysInMonth(int year, int month) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : days[month - 1];
}

inline bool IsCalendarDate(int year, int month, int day) {
    return month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

} // namespace zir::fuzz
