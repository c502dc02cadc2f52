#pragma once
// Everything the simulated instrument remembers: its bus address, its clock,
// the bank in use, the 14 archive banks with their dates and unit texts, the
// calibration coefficients and the service parameters. Writes from the tool
// change it; it can be saved to and loaded from a JSON state file.

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "link/ZebusModTransport.h"

namespace zir::sim {

inline constexpr int kBankCount = 14;
inline constexpr int kChannelCount = 2;  // index 0 = channel A ("1"), 1 = channel B ("2")
inline constexpr int kDimensionSize = 8; // unit text bytes, instrument character set
inline constexpr int kMinutesPerDay = 1440;

struct Bank {
    QDate date;
    bool active = false;
    // Raw day, month, year bytes for the header reply; when set they replace
    // the BCD form of `date` (lets a state file describe a damaged header).
    std::optional<QByteArray> headerBytes;
    std::array<QByteArray, kChannelCount> dimensions; // 8 bytes each
};

struct Coefficients {
    std::uint16_t k = 0x0064;         // 1
    std::uint16_t m = 0xEC64;         // 1E-5
    std::uint16_t threshold = 0x0C64; // 1000
};

struct ServiceParameters {
    std::uint16_t serialNumber = 1001;
    std::uint8_t netNumber = 0;
    std::uint8_t rateIndex = 0;
    std::uint8_t chargeParameter = 0;
};

// The instrument clock: either the computer's time shifted by an offset
// (it runs), or one fixed moment (it stands still, for repeatable tests).
struct InstrumentClock {
    std::optional<QDateTime> fixedMoment;
    qint64 offsetSeconds = 0;

    QDateTime Now(const QDateTime& computerNow) const {
        return fixedMoment ? *fixedMoment : computerNow.addSecs(offsetSeconds);
    }
};

struct InstrumentState {
    BusAddress address{0xFF, 0xFF, 0xFF};
    InstrumentClock clock;
    int currentBank = 3;
    std::array<Bank, kBankCount> banks;
    std::array<Coefficients, kChannelCount> coefficients;
    ServiceParameters service;
    std::uint32_t seed = 1;

    QString AddressText() const;
};

inline constexpr int kDefaultCurrentBank = 3;
inline constexpr int kDefaultActiveBanks = 7;

// The factory state: `activeBanks` banks ending at `currentBank` (counting
// backwards, wrapping from bank 0 to bank 13) hold consecutive days that end
// with `today` at the current bank; the other banks are inactive.
InstrumentState DefaultState(const QDate& today, int currentBank = kDefaultCurrentBank,
                             int activeBanks = kDefaultActiveBanks);

// Re-dates the banks as DefaultState does, keeping their unit texts.
void AssignBankDates(InstrumentState& state, const QDate& today, int activeBanks);

// The unit text the factory state gives a bank's channel (device bytes).
QByteArray DefaultDimension(int bank, int channel);

QJsonObject StateToJson(const InstrumentState& state);
// Fields missing from the JSON keep the values of `base`. Throws
// std::runtime_error naming the field that cannot be read.
InstrumentState StateFromJson(const QJsonObject& json, const InstrumentState& base);

// Whole-file helpers; both throw std::runtime_error with the path and reason.
InstrumentState LoadStateFile(const QString& path, const InstrumentState& base);
void SaveStateFile(const QString& path, const InstrumentState& state);

// "30 14 25" or "30,14,25" or "301425" to bytes; nullopt when malformed.
std::optional<QByteArray> ParseHexBytes(const QString& text);
QString HexText(const QByteArray& bytes); // "30 14 25"

} // namespace zir::sim
