// Device operations through the real exchange and serial port against
// zir-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include "device/Clock.h"
#include "device/Coefficients.h"
#include "device/CurrentData.h"
#include "device/Dimension.h"
#include "device/ServiceParameters.h"
#include "support/SimLink.h"
#include "tests/device/FakeDevice.h"

namespace zir::test {
namespace {

// The instrument on COM1 of a private configuration folder.
class SimDevice {
public:
    explicit SimDevice(QStringList args = {}) : sim_((args << "--address" << kTestAddress)) { link_.Connect(sim_); }
    DeviceContext Context() { return DeviceContext{link_.exchange, kTestAddress, status, progress, false}; }
    QList<QByteArray> Received() const { return sim_.ReceivedFrames(); }

    RecordingStatus status;
    RecordingProgress progress;

private:
    SimProcess sim_;
    SimLink link_;
};

QByteArray WriteFrame(const QByteArray& data) { return BuildFrame(kTestAddress, "1.1.1", 8, 2, data); }

TEST(DeviceSim, WritesReachTheInstrumentByteForByte) {
    SimDevice dev;
    EXPECT_TRUE(WriteCoefficients(dev.Context(), Channel::A, [] { return CoefficientValues{1, 1e-5, 1000}; }));
    EXPECT_EQ(dev.status.Status(), "The coefficients was written successfully");
    EXPECT_TRUE(WriteServiceParameters(dev.Context(), {4660, 7, 1, 2}));
    EXPECT_EQ(dev.status.Status(), "The parameters was written successfully");
    EXPECT_TRUE(WriteDimension(dev.Context(), QStringLiteral("A") + kSymbolMicro, Channel::B));
    EXPECT_EQ(dev.status.Status(), "dimension was written successfully");

    EXPECT_EQ(dev.Received(), (QList<QByteArray>{WriteFrame(Bytes({'T', '1', 0, 0x64, 0x00, 0x64, 0xEC, 0x64, 0x0C})),
                                                 WriteFrame(Bytes({'W', 0, 0x12, 0x34, 0x07, 0x02, 0x01})),
                                                 WriteFrame(QByteArray("R2\0A\x08      ", 11))}));
}

struct RoundTrip {
    const char* written;  // UTF-8
    const char* readBack; // UTF-8
};

TEST(DeviceSim, DimensionTextsComeBackThroughTheInstrumentCharacterSet) {
    const RoundTrip cases[] = {
        {"A\x08", "Амк"}, // Latin A comes back as Cyrillic А
        {"МВт", "МВт"},   // Cyrillic look-alikes travel as Latin codes
        {"kHz", "kНz"},   // ... and Latin H returns as Cyrillic Н
        {"\x08\x09\x0A\x0B", "мк±^2/ч"},
        {"m\x0A\x0A", "m^2"},     // the second square is trimmed away
        {"m\x0A\x0Ax", "m^2\nх"}, // ... unless something follows it
        {"0123456789", "01234567"},
        {"Ёё", "Ёё"},
        {"", ""},
    };
    SimDevice dev;
    for (const Channel channel : {Channel::A, Channel::B}) {
        for (const RoundTrip& c : cases) {
            const QString text = QString::fromUtf8(c.written);
            ASSERT_TRUE(WriteDimension(dev.Context(), text, channel)) << c.written;
            const auto bank = ReadCurrentBankLetter(dev.Context());
            ASSERT_TRUE(bank.has_value());
            EXPECT_EQ(ReadRazm(dev.Context(), *bank, channel), QString::fromUtf8(c.readBack))
                << "channel " << ChannelCharacter(channel) << ": " << c.written;
        }
    }
}

TEST(DeviceSim, CurrentDataOfTheExampleReply) {
    SimDevice dev({"--xw-bytes", "01 02 03 05 7B 00 0C 96 F4"});
    ASSERT_TRUE(WriteDimension(dev.Context(), "", Channel::A));
    ASSERT_TRUE(WriteDimension(dev.Context(), "1/s", Channel::B));
    const auto fields = ReadCurrentData(dev.Context());
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(*fields, (CurrentDataFields{"0.0015 ", "12", "1.23 1/s", "5"}));
    EXPECT_EQ(dev.status.Status(), "Current measures was written successfully");
}

} // namespace
} // namespace zir::test
