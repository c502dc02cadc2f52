#pragma once
// The simulated instrument's answers: one request frame in, the reply frame
// out (or none), with the state changes that writes make. No input/output
// and no waiting here; the line and its timing are the server's business.

#include <QByteArray>
#include <QDateTime>
#include <functional>
#include <optional>

#include "sim/InstrumentState.h"

namespace zir::sim {

enum class Command {
    Unknown,
    ClockRead,        // "XT"
    CurrentRead,      // "XW"
    DimensionRead,    // <bank>R<channel>
    BankHeader,       // <bank>V
    Record,           // <bank><4 digits>
    DimensionWrite,   // R<channel>\0<8 bytes>
    CoefficientWrite, // T<channel>\0<K><M><threshold>
    ParameterWrite,   // W\0<serial hi><serial lo><net><rate><charge>
};

bool IsWrite(Command command);

// Replies to reads go from the instrument to 1.1.1 with this kind and control
// byte (the tool looks at neither); writes are answered with the
// acknowledgement frame (kind 1, control 0, no data).
inline constexpr std::uint8_t kReplyKind = 6;
inline constexpr std::uint8_t kReplyControl = 0;

struct Answer {
    bool addressed = false; // the frame was valid and for this instrument
    Command command = Command::Unknown;
    std::optional<QByteArray> reply; // nullopt: the instrument stays silent
};

class Instrument {
public:
    using ComputerClock = std::function<QDateTime()>;

    Instrument(InstrumentState state, ComputerClock computerClock);

    // Answers one whole request frame. Frames with a bad checksum, for another
    // address, with an unknown command or with parameters out of range get no
    // reply (a minute above 1439, a bank letter other than A..N, a channel
    // other than "1" and "2").
    Answer Handle(const QByteArray& frame);

    // Fixed reply contents for tests: the 6 clock bytes (minute, hour, day,
    // month, year, bank letter) of "XT", and the 9 data bytes of "XW".
    void OverrideClockBytes(const QByteArray& sixBytes) { clockBytes_ = sixBytes; }
    void OverrideCurrentBytes(const QByteArray& nineBytes) { currentBytes_ = nineBytes; }

    const InstrumentState& State() const { return state_; }
    QDateTime ClockNow() const { return state_.clock.Now(computerClock_()); }

    // A reply frame from this instrument to the tool.
    QByteArray ReplyFrame(const QByteArray& data) const;
    QByteArray Acknowledgement() const;

private:
    // With a running clock, each new day moves the instrument on to the next
    // bank, which takes the date and the unit texts in use and overwrites
    // what that bank held.
    void RollOverDays();
    std::optional<QByteArray> ClockReply() const;
    std::optional<QByteArray> CurrentReply() const;
    std::optional<QByteArray> DimensionReply(const QByteArray& data) const;
    std::optional<QByteArray> BankHeaderReply(const QByteArray& data) const;
    std::optional<QByteArray> RecordReply(const QByteArray& data) const;
    // The day number whose measurements a bank holds: its date's Julian day.
    std::int64_t DayOfBank(int bank) const;
    // The minutes of the bank in use after the instrument clock have no
    // record yet.
    bool NotMeasuredYet(int bank, int minute) const;
    std::optional<QByteArray> WriteDimension(const QByteArray& data);
    std::optional<QByteArray> WriteCoefficients(const QByteArray& data);
    std::optional<QByteArray> WriteParameters(const QByteArray& data);

    InstrumentState state_;
    ComputerClock computerClock_;
    std::optional<QByteArray> clockBytes_;
    std::optional<QByteArray> currentBytes_;
};

// What a request's data asks for, judged by its bytes alone.
Command Classify(const QByteArray& data);

// Bank number of a bank letter A..N, or nullopt.
std::optional<int> BankOfLetter(char letter);

std::uint8_t ToBcd(int value); // 0..99

} // namespace zir::sim
