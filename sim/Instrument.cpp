#include "sim/Instrument.h"

#include "link/numFormats.h"
#include "sim/Measurements.h"

#include <algorithm>

namespace zir::sim {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::optional<int> ChannelIndex(char c) {
    if (c == '1') return 0;
    if (c == '2') return 1;
    return std::nullopt;
}

int MinuteOfDay(const QTime& time) { return time.hour() * 60 + time.minute(); }

void AppendReading(QByteArray& data, const ChannelReading& r) {
    data.append(static_cast<char>(r.uncertainty));
    AppendValueCode(data, r.valueCode);
}

} // namespace

bool IsWrite(Command command) {
    return command == Command::DimensionWrite || command == Command::CoefficientWrite ||
           command == Command::ParameterWrite;
}

std::uint8_t ToBcd(int value) {
    value = ((value % 100) + 100) % 100;
    return static_cast<std::uint8_t>((value / 10) << 4 | (value % 10));
}

std::optional<int> BankOfLetter(char letter) {
    const int bank = static_cast<std::uint8_t>(letter) - 'A';
    if (bank < 0 || bank >= kBankCount) return std::nullopt;
    return bank;
}

Command Classify(const QByteArray& data) {
    if (data == "XT") return Command::ClockRead;
    if (data == "XW") return Command::CurrentRead;
    if (data.size() == 3 && data[1] == 'R') return Command::DimensionRead;
    if (data.size() == 2 && data[1] == 'V') return Command::BankHeader;
    if (data.size() == 5 && IsDigit(data[1]) && IsDigit(data[2]) && IsDigit(data[3]) && IsDigit(data[4]))
        return Command::Record;
    if (data.size() == 11 && data[0] == 'R' && data[2] == '\0') return Command::DimensionWrite;
    if (data.size() == 9 && data[0] == 'T' && data[2] == '\0') return Command::CoefficientWrite;
    if (data.size() == 7 && data[0] == 'W' && data[1] == '\0') return Command::ParameterWrite;
    return Command::Unknown;
}

Instrument::Instrument(InstrumentState state, ComputerClock computerClock)
    : state_(std::move(state)), computerClock_(std::move(computerClock)) {}

QByteArray Instrument::ReplyFrame(const QByteArray& data) const {
    return BuildFrame(kHostAddress, state_.AddressText(), kReplyKind, kReplyControl, data);
}

QByteArray Instrument::Acknowledgement() const { return AcknowledgementFrame(state_.AddressText()); }

Answer Instrument::Handle(const QByteArray& frame) {
    Answer answer;
    // Only a whole valid frame, nothing after it, is a request.
    if (ExpectedFrameLength(frame) != frame.size() || ValidateFrame(frame) != FrameVerdict::Accepted) return answer;
    for (int i = 0; i < 3; ++i)
        if (static_cast<std::uint8_t>(frame[i]) != state_.address[static_cast<std::size_t>(i)]) return answer;
    answer.addressed = true;
    RollOverDays();
    const QByteArray data = frame.mid(kFrameHeaderSize, frame.size() - kFrameHeaderSize - 4);
    answer.command = Classify(data);
    switch (answer.command) {
    case Command::ClockRead: answer.reply = ClockReply(); break;
    case Command::CurrentRead: answer.reply = CurrentReply(); break;
    case Command::DimensionRead: answer.reply = DimensionReply(data); break;
    case Command::BankHeader: answer.reply = BankHeaderReply(data); break;
    case Command::Record: answer.reply = RecordReply(data); break;
    case Command::DimensionWrite: answer.reply = WriteDimension(data); break;
    case Command::CoefficientWrite: answer.reply = WriteCoefficients(data); break;
    case Command::ParameterWrite: answer.reply = WriteParameters(data); break;
    case Command::Unknown: break;
    }
    return answer;
}

void Instrument::RollOverDays() {
    const Bank& current = state_.banks[static_cast<std::size_t>(state_.currentBank)];
    if (!current.active || !current.date.isValid()) return;
    const QDate today = ClockNow().date();
    const qint64 days = current.date.daysTo(today);
    if (days <= 0) return;
    const int steps = static_cast<int>(std::min<qint64>(days, kBankCount));
    for (int step = steps - 1; step >= 0; --step) {
        const Bank& from = state_.banks[static_cast<std::size_t>(state_.currentBank)];
        const int next = (state_.currentBank + 1) % kBankCount;
        Bank& to = state_.banks[static_cast<std::size_t>(next)];
        to.dimensions = from.dimensions;
        to.active = true;
        to.date = today.addDays(-step);
        to.headerBytes.reset();
        state_.currentBank = next;
    }
}

std::optional<QByteArray> Instrument::ClockReply() const {
    const QDateTime now = ClockNow();
    QByteArray data("XT");
    data.append(static_cast<char>(ToBcd(now.time().second())));
    if (clockBytes_) {
        data.append(*clockBytes_);
    } else {
        data.append(static_cast<char>(ToBcd(now.time().minute())));
        data.append(static_cast<char>(ToBcd(now.time().hour())));
        data.append(static_cast<char>(ToBcd(now.date().day())));
        data.append(static_cast<char>(ToBcd(now.date().month())));
        data.append(static_cast<char>(ToBcd(now.date().year() - 2000)));
        data.append(static_cast<char>('A' + state_.currentBank));
    }
    return ReplyFrame(data);
}

std::optional<QByteArray> Instrument::CurrentReply() const {
    if (currentBytes_) return ReplyFrame(*currentBytes_);
    const QDateTime now = ClockNow();
    const Measurement m = CurrentReading(state_.seed, now.date().toJulianDay(), MinuteOfDay(now.time()));
    QByteArray data("XW", 2);
    data.append('\0');
    AppendReading(data, m.b);
    AppendReading(data, m.a);
    return ReplyFrame(data);
}

std::optional<QByteArray> Instrument::DimensionReply(const QByteArray& data) const {
    const auto channel = ChannelIndex(data[2]);
    if (!channel) return std::nullopt;
    // A selector that names no bank (the tool sends 0x01 when it could not
    // read the clock) gets the unit text in use, that of the current bank.
    const int bank = BankOfLetter(data[0]).value_or(state_.currentBank);
    QByteArray reply = data;
    reply.append('\0');
    reply.append(state_.banks[static_cast<std::size_t>(bank)].dimensions[static_cast<std::size_t>(*channel)]);
    return ReplyFrame(reply);
}

std::optional<QByteArray> Instrument::BankHeaderReply(const QByteArray& data) const {
    const auto bank = BankOfLetter(data[0]);
    if (!bank) return std::nullopt;
    const Bank& b = state_.banks[static_cast<std::size_t>(*bank)];
    QByteArray reply = data;
    reply.append('\0');
    if (b.headerBytes) {
        reply.append(*b.headerBytes);
    } else if (b.active && b.date.isValid()) {
        reply.append(static_cast<char>(ToBcd(b.date.day())));
        reply.append(static_cast<char>(ToBcd(b.date.month())));
        reply.append(static_cast<char>(ToBcd(b.date.year() - 2000)));
    } else {
        reply.append(QByteArray(3, '\0')); // an erased bank: day 0 is no date
    }
    return ReplyFrame(reply);
}

std::optional<QByteArray> Instrument::RecordReply(const QByteArray& data) const {
    const auto bank = BankOfLetter(data[0]);
    const int minute = data.mid(1, 4).toInt();
    if (!bank || minute >= kMinutesPerDay) return std::nullopt;
    const Bank& b = state_.banks[static_cast<std::size_t>(*bank)];
    Measurement m = kUnwrittenRecord; // an erased bank holds empty records
    if (b.active && !NotMeasuredYet(*bank, minute)) m = ArchiveRecord(state_.seed, DayOfBank(*bank), minute);
    QByteArray reply = data;
    reply.append('\0');
    AppendReading(reply, m.b);
    AppendReading(reply, m.a);
    return ReplyFrame(reply);
}

std::int64_t Instrument::DayOfBank(int bank) const {
    // A bank without a date (possible in a state file) still holds a day of
    // its own.
    const QDate date = state_.banks[static_cast<std::size_t>(bank)].date;
    return date.isValid() ? date.toJulianDay() : bank;
}

bool Instrument::NotMeasuredYet(int bank, int minute) const {
    if (bank != state_.currentBank) return false;
    const QDate date = state_.banks[static_cast<std::size_t>(bank)].date;
    if (!date.isValid()) return false;
    // The minute the clock is in counts as measured: the present reading
    // ("XW") shows its value.
    const QDateTime now = ClockNow();
    const qint64 days = now.date().daysTo(date);
    return days > 0 || (days == 0 && minute > MinuteOfDay(now.time()));
}

std::optional<QByteArray> Instrument::WriteDimension(const QByteArray& data) {
    const auto channel = ChannelIndex(data[1]);
    if (!channel) return std::nullopt;
    // The unit text applies from now on: to the bank being filled.
    state_.banks[static_cast<std::size_t>(state_.currentBank)].dimensions[static_cast<std::size_t>(*channel)] =
        data.mid(3, kDimensionSize);
    return Acknowledgement();
}

std::optional<QByteArray> Instrument::WriteCoefficients(const QByteArray& data) {
    const auto channel = ChannelIndex(data[1]);
    if (!channel) return std::nullopt;
    Coefficients& c = state_.coefficients[static_cast<std::size_t>(*channel)];
    c.k = ValueCodeAt(data, 3);
    c.m = ValueCodeAt(data, 5);
    c.threshold = ValueCodeAt(data, 7);
    return Acknowledgement();
}

std::optional<QByteArray> Instrument::WriteParameters(const QByteArray& data) {
    ServiceParameters& s = state_.service;
    // The serial number travels high byte first. The net number is the
    // instrument's own setting; the bus address it answers to stays as it is.
    s.serialNumber =
        static_cast<std::uint16_t>(static_cast<std::uint8_t>(data[2]) << 8 | static_cast<std::uint8_t>(data[3]));
    s.netNumber = static_cast<std::uint8_t>(data[4]);
    s.rateIndex = static_cast<std::uint8_t>(data[5]);
    s.chargeParameter = static_cast<std::uint8_t>(data[6]);
    return Acknowledgement();
}

} // namespace zir::sim
