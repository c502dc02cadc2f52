#include "sim/InstrumentState.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSaveFile>
#include <algorithm>
#include <stdexcept>

namespace zir::sim {
namespace {

// Unit texts in the instrument's character set. 0x08 is the "micro" symbol,
// 0x09 plus-minus, 0x0A "square", 0x0B "/h"; Cyrillic letters use the
// instrument's own codes (0xA4 Ze, 0xB3 ve, 0xB8 i, 0xBC em, 0xBE pe, 0xA0 Be,
// 0xBA ka) and look-alike Latin letters stand for their Cyrillic twins.
const std::array<QByteArray, 5> kUnitTexts = {
    QByteArray("\x08\xA4\xB3\x0B    ", 8), // micro-sievert per hour
    QByteArray("\xB8\xBC\xBE/c   ", 8),    // pulses per second
    QByteArray("\xA0\xBA/c\xBC\x0A  ", 8), // becquerel per square centimetre
    QByteArray("\x08P\x0B     ", 8),       // micro-roentgen per hour
    QByteArray("\x09"
               "1/s    ",
               8), // plus-minus, then 1/s
};

std::runtime_error StateError(const QString& what) { return std::runtime_error(what.toStdString()); }

int WrapBank(int bank) { return ((bank % kBankCount) + kBankCount) % kBankCount; }

} // namespace

QString InstrumentState::AddressText() const {
    return QStringLiteral("%1.%2.%3").arg(address[0]).arg(address[1]).arg(address[2]);
}

QByteArray DefaultDimension(int bank, int channel) {
    return kUnitTexts[static_cast<std::size_t>((bank + 2 * channel) % int(kUnitTexts.size()))];
}

void AssignBankDates(InstrumentState& state, const QDate& today, int activeBanks) {
    activeBanks = std::clamp(activeBanks, 0, kBankCount);
    for (int back = 0; back < kBankCount; ++back) {
        Bank& bank = state.banks[static_cast<std::size_t>(WrapBank(state.currentBank - back))];
        bank.active = back < activeBanks;
        bank.date = bank.active ? today.addDays(-back) : QDate();
        bank.headerBytes.reset();
    }
}

InstrumentState DefaultState(const QDate& today, int currentBank, int activeBanks) {
    InstrumentState state;
    state.currentBank = WrapBank(currentBank);
    for (int b = 0; b < kBankCount; ++b)
        for (int ch = 0; ch < kChannelCount; ++ch)
            state.banks[static_cast<std::size_t>(b)].dimensions[static_cast<std::size_t>(ch)] = DefaultDimension(b, ch);
    AssignBankDates(state, today, activeBanks);
    return state;
}

std::optional<QByteArray> ParseHexBytes(const QString& text) {
    QString compact = text;
    compact.remove(QRegularExpression(QStringLiteral("[\\s,:]")));
    if (compact.size() % 2 != 0) return std::nullopt;
    QByteArray bytes;
    for (int i = 0; i < compact.size(); i += 2) {
        bool ok = false;
        const int value = compact.mid(i, 2).toInt(&ok, 16);
        if (!ok) return std::nullopt;
        bytes.append(static_cast<char>(value));
    }
    return bytes;
}

QString HexText(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex(' ').toUpper()); }

QJsonObject StateToJson(const InstrumentState& state) {
    QJsonObject json;
    json[QStringLiteral("address")] = state.AddressText();
    QJsonObject clock;
    if (state.clock.fixedMoment)
        clock[QStringLiteral("fixed")] = state.clock.fixedMoment->toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    clock[QStringLiteral("offsetSeconds")] = static_cast<double>(state.clock.offsetSeconds);
    json[QStringLiteral("clock")] = clock;
    json[QStringLiteral("currentBank")] = state.currentBank;
    json[QStringLiteral("seed")] = static_cast<double>(state.seed);

    QJsonArray banks;
    for (const Bank& bank : state.banks) {
        QJsonObject b;
        b[QStringLiteral("active")] = bank.active;
        b[QStringLiteral("date")] = bank.date.isValid() ? bank.date.toString(Qt::ISODate) : QString();
        if (bank.headerBytes) b[QStringLiteral("headerBytes")] = HexText(*bank.headerBytes);
        QJsonArray dims;
        for (const QByteArray& d : bank.dimensions) dims.append(HexText(d));
        b[QStringLiteral("dimensions")] = dims;
        banks.append(b);
    }
    json[QStringLiteral("banks")] = banks;

    QJsonArray coefficients;
    for (const Coefficients& c : state.coefficients) {
        QJsonObject o;
        o[QStringLiteral("k")] = QStringLiteral("%1").arg(c.k, 4, 16, QLatin1Char('0')).toUpper();
        o[QStringLiteral("m")] = QStringLiteral("%1").arg(c.m, 4, 16, QLatin1Char('0')).toUpper();
        o[QStringLiteral("threshold")] = QStringLiteral("%1").arg(c.threshold, 4, 16, QLatin1Char('0')).toUpper();
        coefficients.append(o);
    }
    json[QStringLiteral("coefficients")] = coefficients;

    QJsonObject service;
    service[QStringLiteral("serialNumber")] = state.service.serialNumber;
    service[QStringLiteral("netNumber")] = state.service.netNumber;
    service[QStringLiteral("rateIndex")] = state.service.rateIndex;
    service[QStringLiteral("chargeParameter")] = state.service.chargeParameter;
    json[QStringLiteral("service")] = service;
    return json;
}

namespace {

int IntField(const QJsonObject& o, const QString& key, int fallback, int low, int high) {
    if (!o.contains(key)) return fallback;
    const QJsonValue v = o.value(key);
    const double d = v.toDouble(-1e300);
    if (!v.isDouble() || d != static_cast<int>(d) || d < low || d > high)
        throw StateError(
            QStringLiteral("state field \"%1\" must be a whole number from %2 to %3").arg(key).arg(low).arg(high));
    return static_cast<int>(d);
}

std::uint16_t CodeField(const QJsonObject& o, const QString& key, std::uint16_t fallback) {
    if (!o.contains(key)) return fallback;
    bool ok = false;
    const uint code = o.value(key).toString().toUInt(&ok, 16);
    if (!ok || code > 0xFFFF)
        throw StateError(QStringLiteral("state field \"%1\" must be a 16-bit hexadecimal value code").arg(key));
    return static_cast<std::uint16_t>(code);
}

QByteArray HexField(const QJsonValue& v, const QString& what, int size) {
    const auto bytes = ParseHexBytes(v.toString());
    if (!v.isString() || !bytes || (size > 0 && bytes->size() != size))
        throw StateError(QStringLiteral("state field \"%1\" must hold %2 hexadecimal bytes").arg(what).arg(size));
    return *bytes;
}

} // namespace

InstrumentState StateFromJson(const QJsonObject& json, const InstrumentState& base) {
    InstrumentState state = base;
    if (json.contains(QStringLiteral("address"))) {
        try {
            state.address = ParseBusAddress(json.value(QStringLiteral("address")).toString());
        } catch (const EZirError&) {
            throw StateError(QStringLiteral("state field \"address\" is not an address xxx.yyy.zzz"));
        }
    }
    if (json.contains(QStringLiteral("clock"))) {
        const QJsonObject clock = json.value(QStringLiteral("clock")).toObject();
        state.clock.fixedMoment.reset();
        if (clock.contains(QStringLiteral("fixed"))) {
            const QDateTime fixed = QDateTime::fromString(clock.value(QStringLiteral("fixed")).toString(),
                                                          QStringLiteral("yyyy-MM-dd HH:mm"));
            if (!fixed.isValid())
                throw StateError(QStringLiteral("state field \"clock.fixed\" must read YYYY-MM-DD hh:mm"));
            state.clock.fixedMoment = fixed;
        }
        state.clock.offsetSeconds = static_cast<qint64>(clock.value(QStringLiteral("offsetSeconds")).toDouble(0));
    }
    state.currentBank = IntField(json, QStringLiteral("currentBank"), state.currentBank, 0, kBankCount - 1);
    state.seed =
        static_cast<std::uint32_t>(json.value(QStringLiteral("seed")).toDouble(static_cast<double>(state.seed)));

    if (json.contains(QStringLiteral("banks"))) {
        const QJsonArray banks = json.value(QStringLiteral("banks")).toArray();
        if (banks.size() != kBankCount)
            throw StateError(QStringLiteral("state field \"banks\" must list %1 banks").arg(kBankCount));
        for (int i = 0; i < kBankCount; ++i) {
            const QJsonObject b = banks[i].toObject();
            Bank& bank = state.banks[static_cast<std::size_t>(i)];
            bank.active = b.value(QStringLiteral("active")).toBool(bank.active);
            if (b.contains(QStringLiteral("date"))) {
                const QString text = b.value(QStringLiteral("date")).toString();
                bank.date = text.isEmpty() ? QDate() : QDate::fromString(text, Qt::ISODate);
                if (!text.isEmpty() && !bank.date.isValid())
                    throw StateError(QStringLiteral("state field \"banks[%1].date\" must read YYYY-MM-DD").arg(i));
            }
            bank.headerBytes.reset();
            if (b.contains(QStringLiteral("headerBytes")))
                bank.headerBytes =
                    HexField(b.value(QStringLiteral("headerBytes")), QStringLiteral("banks[%1].headerBytes").arg(i), 3);
            if (b.contains(QStringLiteral("dimensions"))) {
                const QJsonArray dims = b.value(QStringLiteral("dimensions")).toArray();
                if (dims.size() != kChannelCount)
                    throw StateError(QStringLiteral("state field \"banks[%1].dimensions\" must list 2 texts").arg(i));
                for (int ch = 0; ch < kChannelCount; ++ch)
                    bank.dimensions[static_cast<std::size_t>(ch)] =
                        HexField(dims[ch], QStringLiteral("banks[%1].dimensions[%2]").arg(i).arg(ch), kDimensionSize);
            }
        }
    }
    if (json.contains(QStringLiteral("coefficients"))) {
        const QJsonArray list = json.value(QStringLiteral("coefficients")).toArray();
        if (list.size() != kChannelCount)
            throw StateError(QStringLiteral("state field \"coefficients\" must list 2 channels"));
        for (int ch = 0; ch < kChannelCount; ++ch) {
            const QJsonObject o = list[ch].toObject();
            Coefficients& c = state.coefficients[static_cast<std::size_t>(ch)];
            c.k = CodeField(o, QStringLiteral("k"), c.k);
            c.m = CodeField(o, QStringLiteral("m"), c.m);
            c.threshold = CodeField(o, QStringLiteral("threshold"), c.threshold);
        }
    }
    if (json.contains(QStringLiteral("service"))) {
        const QJsonObject o = json.value(QStringLiteral("service")).toObject();
        ServiceParameters& s = state.service;
        s.serialNumber =
            static_cast<std::uint16_t>(IntField(o, QStringLiteral("serialNumber"), s.serialNumber, 0, 0xFFFF));
        s.netNumber = static_cast<std::uint8_t>(IntField(o, QStringLiteral("netNumber"), s.netNumber, 0, 255));
        s.rateIndex = static_cast<std::uint8_t>(IntField(o, QStringLiteral("rateIndex"), s.rateIndex, 0, 255));
        s.chargeParameter =
            static_cast<std::uint8_t>(IntField(o, QStringLiteral("chargeParameter"), s.chargeParameter, 0, 255));
    }
    return state;
}

InstrumentState LoadStateFile(const QString& path, const InstrumentState& base) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StateError(QStringLiteral("cannot read state file %1: %2").arg(path, file.errorString()));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw StateError(QStringLiteral("state file %1 is not a JSON object: %2").arg(path, error.errorString()));
    try {
        return StateFromJson(doc.object(), base);
    } catch (const std::runtime_error& e) {
        throw StateError(QStringLiteral("state file %1: %2").arg(path, QString::fromUtf8(e.what())));
    }
}

void SaveStateFile(const QString& path, const InstrumentState& state) {
    // Written whole and renamed over the old file, so an interrupted save
    // never leaves half a state behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw StateError(QStringLiteral("cannot write state file %1: %2").arg(path, file.errorString()));
    file.write(QJsonDocument(StateToJson(state)).toJson(QJsonDocument::Indented));
    if (!file.commit())
        throw StateError(QStringLiteral("cannot write state file %1: %2").arg(path, file.errorString()));
}

} // namespace zir::sim
