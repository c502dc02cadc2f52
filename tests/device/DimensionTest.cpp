#include <gtest/gtest.h>

#include <QStringList>

#include "device/Dimension.h"
#include "device/DimensionTables.h"
#include "tests/device/FakeDevice.h"

namespace zir::test {
namespace {

// The upper halves of both translation tables as the instrument's
// documentation prints them, one row of 16 codes per line.
const char* const kPrintedWinToDevice[] = {
    "80 | 41 | A0 | 42 | A1 | E0 | 45 | A3 | A4 | A5 | A6 | 4B | A7 | 4D | 48 | 4F | A8",
    "90 | 50 | 43 | 54 | A9 | AA | 58 | E1 | AB | AC | E2 | AD | AE | C4 | AF | B0 | B1",
    "A0 | 61 | B2 | B3 | B4 | E3 | 65 | B6 | B7 | A2 | B9 | BA | BB | BC | BD | 6F | BE",
    "B0 | B0 | B1 | B2 | B3 | B4 | B5 | B6 | B7 | B5 | B9 | BA | BB | BC | BD | BE | BF",
    "C0 | 41 | A0 | 42 | A1 | E0 | 45 | A3 | A4 | A5 | A6 | 4B | A7 | 4D | 48 | 4F | A8",
    "D0 | 50 | 43 | 54 | A9 | AA | 58 | E1 | AB | AC | E2 | AD | AE | C4 | AF | B0 | B1",
    "E0 | 61 | B2 | B3 | B4 | E3 | 65 | B6 | B7 | B8 | B9 | BA | BB | BC | BD | 6F | BE",
    "F0 | 70 | 63 | BF | 79 | E4 | 78 | E5 | C0 | C1 | E6 | C2 | C3 | C4 | C5 | C6 | C7",
};
const char* const kPrintedDeviceToWin[] = {
    "40 | 40 | C0 | C2 | D1 | 44 | C5 | 46 | 47 | CD | 49 | 4A | CA | 4C | CC | 4E | CE",
    "50 | D0 | 51 | 52 | 53 | D2 | 55 | 56 | 57 | D5 | 59 | 5A | 5B | 5C | 5D | 5E | 5F",
    "60 | 60 | E0 | 62 | F1 | 64 | E5 | 66 | 67 | 68 | 69 | 6A | 6B | 6C | 6D | 6E | EE",
    "70 | F0 | 71 | 72 | 73 | 74 | 75 | 76 | 77 | F5 | F3 | 7A | 7B | 7C | 7D | 7E | 7F",
    "80 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20",
    "90 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20",
    "A0 | C1 | C3 | A8 | C6 | C7 | C8 | C9 | CB | CF | D3 | D4 | D7 | D8 | DA | DB | DD",
    "B0 | DE | DF | E1 | E2 | E3 | B8 | E6 | E7 | E8 | E9 | EA | EB | EC | ED | EF | F2",
    "C0 | F7 | F8 | FA | FB | FC | FD | FE | FF | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20",
    "D0 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20",
    "E0 | C4 | D6 | D9 | E4 | F4 | F6 | F9 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20",
    "F0 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20 | 20",
};

// Expected table: identity below the printed rows (with the given
// exceptions), the printed rows above.
template <size_t N>
std::array<int, 256> ExpectedTable(const char* const (&rows)[N], std::map<int, int> exceptions) {
    std::array<int, 256> table{};
    for (std::size_t i = 0; i < 256; ++i) {
        const int code = static_cast<int>(i);
        table[i] = exceptions.count(code) ? exceptions[code] : code;
    }
    for (const char* row : rows) {
        const QStringList cells = QString::fromLatin1(row).split(QLatin1Char('|'));
        EXPECT_EQ(cells.size(), 17) << row;
        const auto base = static_cast<std::size_t>(cells[0].trimmed().toInt(nullptr, 16));
        for (qsizetype col = 0; col < 16; ++col)
            table[base + static_cast<std::size_t>(col)] = cells[col + 1].trimmed().toInt(nullptr, 16);
    }
    return table;
}

TEST(DimensionTables, EveryEntryMatchesThePrintedTables) {
    const auto winToDevice = ExpectedTable(kPrintedWinToDevice, {});
    const auto deviceToWin = ExpectedTable(kPrintedDeviceToWin, {{0x09, 0xB1}});
    for (std::size_t i = 0; i < 256; ++i) {
        EXPECT_EQ(kWinToDeviceTable[i], winToDevice[i]) << "computer code " << i;
        EXPECT_EQ(kDeviceToWinTable[i], deviceToWin[i]) << "device code " << i;
    }
}

QByteArray Padded(QByteArray bytes) { return bytes.leftJustified(8, ' '); }

struct DecodeCase {
    QByteArray device;
    const char* expected; // UTF-8
};

class DecodeDimension : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeDimension, GivesDisplayText) {
    EXPECT_EQ(DecodeDimensionText(GetParam().device), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodeDimension,
    ::testing::Values(DecodeCase{Padded(""), ""}, DecodeCase{Padded("1/s"), "1/s"},
                      DecodeCase{Padded("A\x08"), "Амк"}, // Cyrillic А then micro
                      DecodeCase{Padded("\x09"), "±"},
                      DecodeCase{Padded("m\x0A\x0A"), "m^2"}, // second square trimmed away
                      DecodeCase{Padded("m\x0A\x0A"
                                        "2"),
                                 "m^2\n2"}, // ... but kept inside
                      DecodeCase{Padded("\x08\x08g"), "мк\bg"}, DecodeCase{Padded("m3\x0B"), "m3/ч"},
                      DecodeCase{QByteArray("\x01 kg \x80\x90\x07", 8), "kg"}, // blanks, controls, no-letter codes
                      DecodeCase{Padded("\xA2\xB1\xC7"), "ЁЯя"},
                      DecodeCase{Padded("HOPE"), "НОРЕ"})); // Latin look-alikes become Cyrillic

struct EncodeCase {
    const char* text; // UTF-8
    Channel channel;
    QByteArray expectedData;
};

class DimensionData : public ::testing::TestWithParam<EncodeCase> {};

TEST_P(DimensionData, IsCutOrPaddedAndTranslated) {
    const EncodeCase& c = GetParam();
    EXPECT_EQ(DimensionWriteData(QString::fromUtf8(c.text), c.channel), c.expectedData);
}

INSTANTIATE_TEST_SUITE_P(Texts, DimensionData,
                         ::testing::Values(EncodeCase{"", Channel::A, QByteArray("R1\0        ", 11)},
                                           EncodeCase{"A\x08", Channel::A, QByteArray("R1\0A\x08      ", 11)},
                                           EncodeCase{"abcdefghij", Channel::B, QByteArray("R2\0abcdefgh", 11)},
                                           EncodeCase{"мА/ч", Channel::A, QByteArray("R1\0\xBC\x41/\xC0    ", 11)},
                                           EncodeCase{"Ёё\x09\x0A\x0B", Channel::B,
                                                      QByteArray("R2\0\xA2\xB5\x09\x0A\x0B   ", 11)}));

TEST(DimensionData, RefusesACharacterOutsideTheCodePageNamingIt) {
    try {
        DimensionWriteData(QString::fromUtf8("m€²"), Channel::A); // € is in the code page, ² is not
        FAIL() << "accepted";
    } catch (const EConvertError& e) {
        EXPECT_TRUE(e.message().contains(QString::fromUtf8("²"))) << e.what();
    }
}

TEST(ReadRazm, AsksForBankAndChannelAndDecodesA30ByteReply) {
    FakeDevice dev;
    dev.link.replies = {ReplyWith(QByteArray("\0\0\0\0", 4) + Padded("A\x08")), ReplyWith(QByteArray(13, ' ')),
                        ReplyWith({}), QByteArray()};
    EXPECT_EQ(ReadRazm(dev.Context(), 'C', Channel::B), QString::fromUtf8("Амк"));
    EXPECT_EQ(ReadRazm(dev.Context(), 0x01, Channel::A), QString());
    EXPECT_EQ(ReadRazm(dev.Context(), 0x01, Channel::A), QString());
    EXPECT_EQ(ReadRazm(dev.Context(), 0x01, Channel::A), QString());
    ASSERT_EQ(dev.link.sent.size(), 4u);
    EXPECT_EQ(dev.link.sent[0], BuildFrame(kTestAddress, "1.1.1", 6, 2, "CR2"));
    EXPECT_EQ(FrameData(dev.link.sent[1]), QByteArray("\x01R1"));
}

TEST(WriteDimension, RefusedTextSendsNothingAndClosesProgress) {
    FakeDevice dev;
    dev.showProgress = false;
    EXPECT_THROW(WriteDimension(dev.Context(), QString::fromUtf8("日"), Channel::A), EConvertError);
    EXPECT_TRUE(dev.link.sent.empty());
    EXPECT_EQ(dev.status.Status(), QString());
    EXPECT_EQ(dev.progress.calls, QStringList({"Prepare 1", "Close"}));
}

} // namespace
} // namespace zir::test
