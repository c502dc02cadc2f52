// Frame codec: checksum, address texts, request and acknowledgement frames,
// and the acceptance rules for received bytes.
#include <gtest/gtest.h>

#include "link/ZebusModTransport.h"

#include <optional>

namespace zir {
namespace {

QByteArray Hex(const char* hex) { return QByteArray::fromHex(hex); }

struct ChecksumCase {
    const char* name;
    QByteArray data;
    std::uint32_t expected;
};

TEST(FrameChecksum, KnownAnswers) {
    const ChecksumCase cases[] = {
        {"empty", QByteArray(), 0},
        {"one byte", Hex("7f"), 0x7F},
        {"two bytes form a high-first word", Hex("1234"), 0x1234},
        {"abc: lone first byte, then one word", QByteArray("abc"), 0x6E43},
        {"zeros are data", Hex("000001"), 0x0001},
        {"rotation wraps bits round", Hex("8000000000000000000000000000"), 0x2000},
        {"fifteen 0xFF", QByteArray(15, '\xff'), 0xBDEF45E8},
        {"clock request header", Hex("ffffff01010106020200"), 0x8074464F},
    };
    for (const auto& c : cases) EXPECT_EQ(FrameChecksum(c.data), c.expected) << c.name;
}

TEST(ChecksumBytes, LeastSignificantFirst) {
    EXPECT_EQ(ChecksumBytes(QByteArray("abc")), Hex("436e0000"));
    EXPECT_EQ(ChecksumBytes(QByteArray()), Hex("00000000"));
}

TEST(ParseBusAddress, AcceptedTexts) {
    struct Case {
        QString text;
        BusAddress expected;
    };
    const Case cases[] = {
        {"255.255.255", {0xFF, 0xFF, 0xFF}},
        {"  1.2.3\t ", {1, 2, 3}},
        {QString::fromUtf8("\x01"
                           "1.2.3\n"),
         {1, 2, 3}},
        {"0.0.0", {0, 0, 0}},
        {"$FF.$a.$0", {0xFF, 0x0A, 0}},
        {"+1. 2.  3", {1, 2, 3}},
        {"001.002.003", {1, 2, 3}},
        {"-0.0.0", {0, 0, 0}},
        {" 255.255.255", {0xFF, 0xFF, 0xFF}}, // read whole, not cut to 11 characters
        {"001.002.0003", {1, 2, 3}},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseBusAddress(c.text), c.expected) << c.text.toStdString();
}

TEST(ParseBusAddress, MalformedTextsAreRefused) {
    const char* cases[] = {
        "",
        "   ",
        "1.2",
        "1.2.",
        "1..3",
        ".2.3",
        "1.2.3.4",
        "a.b.c",
        "1 .2.3",
        "1.2 .3",
        "1.2.3x",
        "1.2.0x3",
        "$.1.1",
        "1.2.$",
        "1.2.--3",
        "1.2.+",
        "1.2.3,",
        // Parts outside 0..255 name another instrument: refused, not wrapped.
        "1.2.300",
        "1.2.-1",
        "256.0.0",
        "0.$100.0",
        "1.2.99999999999999999999",
    };
    for (const char* text : cases) {
        try {
            ParseBusAddress(QString::fromUtf8(text));
            ADD_FAILURE() << "accepted: '" << text << "'";
        } catch (const EFormatError& e) {
            EXPECT_STREQ(e.what(), "ZeBUS address wrong") << text;
        }
    }
}

TEST(BuildFrame, ClockRequestToBroadcastAddress) {
    EXPECT_EQ(BuildFrame("255.255.255", kHostAddress, kKindRead, kControlRequest, "XT"),
              Hex("ffffff010101060202004f46748058545458"
                  "0000"));
}

TEST(BuildFrame, BinaryDataAndEmptyData) {
    const QByteArray data = Hex("000102030405060708");
    EXPECT_EQ(BuildFrame("1.1.1", "1.2.3", kKindRead, 0, data),
              Hex("0101010102030600090000459810000102030405060708c8b78d00"));

    const QByteArray empty = BuildFrame("1.2.3", "1.1.1", kKindWrite, kControlRequest, QByteArray());
    EXPECT_EQ(empty.size(), kFrameHeaderSize);
    EXPECT_EQ(ValidateFrame(empty), FrameVerdict::Accepted);
}

TEST(BuildFrame, MalformedAddressBuildsNothing) {
    EXPECT_THROW(BuildFrame("1.2.300", kHostAddress, kKindWrite, kControlRequest, "T1"), EFormatError);
    EXPECT_THROW(BuildFrame("1.2.3", "1.1", kKindRead, kControlRequest, "XT"), EFormatError);
    EXPECT_THROW(BuildFrame("1.2.3", kHostAddress, kKindRead, kControlRequest, QByteArray(65536, 'x')), EZirError);
}

TEST(AcknowledgementFrame, FromDeviceToHost) {
    EXPECT_EQ(AcknowledgementFrame("255.255.255"), Hex("010101ffffff01000000"
                                                       "005c1013"));
    EXPECT_EQ(ValidateFrame(AcknowledgementFrame("7.8.9")), FrameVerdict::Accepted);
    EXPECT_THROW(AcknowledgementFrame("7.8"), EFormatError);
}

// A valid 27-byte frame (data length 9), as the clock reply has.
QByteArray Reply27() { return BuildFrame("1.1.1", "255.255.255", 6, 0, Hex("585400112233445566")); }

QByteArray Flipped(QByteArray bytes, int index) {
    bytes[index] = static_cast<char>(bytes[index] ^ 0x01);
    return bytes;
}

TEST(ValidateFrame, Verdicts) {
    const QByteArray ack = AcknowledgementFrame("255.255.255");
    const QByteArray reply = Reply27();
    ASSERT_EQ(reply.size(), 27);

    struct Case {
        const char* name;
        QByteArray received;
        FrameVerdict expected;
        std::optional<int> expectedLength;
        RejectReason reason = RejectReason::None;
    };
    const Case cases[] = {
        {"nothing", QByteArray(), FrameVerdict::NoReply, std::nullopt},
        {"one byte", Hex("01"), FrameVerdict::PacketError, std::nullopt},
        {"8 bytes", reply.first(8), FrameVerdict::PacketError, std::nullopt},
        {"13 bytes", reply.first(13), FrameVerdict::PacketError, std::nullopt},
        {"14 bytes, no data", ack, FrameVerdict::Accepted, 14},
        {"20 bytes, no data: extra ignored", ack + Hex("deadbeef0000"), FrameVerdict::Accepted, 14},
        {"27 bytes, length 9", reply, FrameVerdict::Accepted, 27},
        {"14 bytes of a 27-byte frame", reply.first(14), FrameVerdict::Rejected, 27, RejectReason::Length},
        {"20 bytes of a 27-byte frame", reply.first(20), FrameVerdict::Rejected, 27, RejectReason::Length},
        {"26 bytes of a 27-byte frame", reply.first(26), FrameVerdict::Rejected, 27, RejectReason::Length},
        {"28 bytes: one trailing byte", reply + Hex("00"), FrameVerdict::Rejected, 27, RejectReason::Length},
        {"header byte broken", Flipped(reply, 2), FrameVerdict::Rejected, std::nullopt, RejectReason::HeaderChecksum},
        {"length byte broken", Flipped(reply, 8), FrameVerdict::Rejected, std::nullopt, RejectReason::HeaderChecksum},
        {"ack checksum broken", Flipped(ack, 13), FrameVerdict::Rejected, std::nullopt, RejectReason::HeaderChecksum},
        {"data byte broken", Flipped(reply, 16), FrameVerdict::Rejected, 27, RejectReason::DataChecksum},
        {"zero bytes only", QByteArray(14, '\0'), FrameVerdict::Accepted, 14},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ValidateFrame(c.received), c.expected) << c.name;
        EXPECT_EQ(CheckFrame(c.received).reason, c.reason) << c.name;
        EXPECT_EQ(ExpectedFrameLength(c.received), c.expectedLength) << c.name;
    }
}

TEST(ValidateFrame, EveryChecksumByteMatters) {
    const QByteArray reply = Reply27();
    for (int index : {10, 11, 12, 13, 23, 24, 25, 26}) {
        const FrameCheck check = CheckFrame(Flipped(reply, index));
        EXPECT_EQ(check.verdict, FrameVerdict::Rejected) << index;
        EXPECT_EQ(check.reason, index < 14 ? RejectReason::HeaderChecksum : RejectReason::DataChecksum) << index;
    }
}

TEST(FindWholeFrame, TheFrameAmongStrayBytes) {
    const QByteArray reply = Reply27();
    const QByteArray ack = AcknowledgementFrame("255.255.255");
    const QByteArray stray = Hex("0055aa");
    struct Case {
        const char* name;
        QByteArray received;
        std::optional<QByteArray> expected;
    };
    const Case cases[] = {
        {"the frame alone", reply, reply},
        {"stray bytes before it", stray + reply, reply},
        {"stray bytes behind it", reply + stray, reply},
        {"on both sides", stray + reply + stray, reply},
        {"thirteen stray bytes that look like a header", reply.first(13) + reply, reply},
        {"the first of two frames", stray + ack + reply, ack},
        {"a frame without data behind stray bytes", stray + ack, ack},
        {"not whole yet", stray + reply.first(26), std::nullopt},
        {"broken data after stray bytes", stray + Flipped(reply, 16), std::nullopt},
        {"a broken frame, then a whole one", Flipped(reply, 16) + reply, reply},
        {"stray bytes only", stray, std::nullopt},
        {"nothing", QByteArray(), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(FindWholeFrame(c.received), c.expected) << c.name;
}

} // namespace
} // namespace zir
