#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/NumberText.h"
#include "device/Coefficients.h"
#include "device/CurrentData.h"
#include "device/Dimension.h"
#include "device/ServiceParameters.h"
#include "tests/device/FakeDevice.h"

namespace zir::test {
namespace {

const CoefficientValues kDefaultCoefficients{1, 1e-5, 1000};

TEST(CoefficientTexts, ConvertInTheOrderKMThresholdAndTheFirstBadOneIsReported) {
    struct Case {
        const char* k;
        const char* m;
        const char* threshold;
        const char* message; // nullptr: accepted
    };
    const Case cases[] = {
        {"1", "1E-5", "1000", nullptr},
        {" 2 ", "0.5", "1.5", nullptr},
        {"1", "1E-5", "1000,5", "'1000,5' is not a valid floating point value"},
        {"x", "y", "z", "'x' is not a valid floating point value"},
        {"1", "", "1000", "'' is not a valid floating point value"},
        // A number the instrument cannot hold counts as bad in its place.
        {"0", "y", "1000",
         "The value 0 cannot be sent to the instrument: it must lie from 1E-32 up to, not including, 1E32"},
        {"1", "-1E-5", "z",
         "The value -1E-5 cannot be sent to the instrument: it must lie from 1E-32 up to, not including, 1E32"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.k << "|" << c.m << "|" << c.threshold);
        try {
            const CoefficientValues values = CoefficientsOfTexts(c.k, c.m, c.threshold);
            EXPECT_EQ(c.message, nullptr);
            EXPECT_EQ(values.k, StrToFloat(c.k));
            EXPECT_EQ(values.threshold, StrToFloat(c.threshold));
        } catch (const EConvertError& e) {
            ASSERT_NE(c.message, nullptr) << e.what();
            EXPECT_EQ(e.message(), c.message);
        }
    }
}

TEST(CoefficientData, ValueCodesLowByteFirstInOrderKMThreshold) {
    EXPECT_EQ(CoefficientWriteData(kDefaultCoefficients, Channel::A),
              Bytes({'T', '1', 0, 0x64, 0x00, 0x64, 0xEC, 0x64, 0x0C}));
    EXPECT_EQ(CoefficientWriteData({2, 0.5, 1.5}, Channel::B),
              Bytes({'T', '2', 0, 0xC8, 0x00, 0xF4, 0xFD, 0x96, 0x00}));
}

TEST(CoefficientData, NumbersTheInstrumentCannotHoldAreRefused) {
    const double nan = std::nan("");
    const double inf = std::numeric_limits<double>::infinity();
    for (const CoefficientValues& values :
         {CoefficientValues{0, 1e-5, 1000}, CoefficientValues{1, -1e-5, 1000}, CoefficientValues{1, 1e-40, 1000},
          CoefficientValues{1, 1e-5, 1e40}, CoefficientValues{nan, 1e-5, 1000}, CoefficientValues{1, inf, 1000}}) {
        EXPECT_THROW(CoefficientWriteData(values, Channel::A), EConvertError) << values.k << " " << values.m;
    }
    EXPECT_EQ(CheckedCoefficient(1e-5), 1e-5);
    EXPECT_THROW(CheckedCoefficient(0), EConvertError);
}

TEST(WriteCoefficients, AConversionErrorOfTheValuesSendsNothing) {
    FakeDevice dev;
    QStringList order;
    try {
        WriteCoefficients(dev.Context(), Channel::A, [&]() -> CoefficientValues {
            order << dev.status.Status();
            throw EConvertError(QStringLiteral("'x' is not a valid floating point value"));
        });
        FAIL() << "accepted";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.message(), "'x' is not a valid floating point value");
    }
    EXPECT_EQ(order, QStringList({""})) << "the values are asked for after the status line is cleared";
    EXPECT_TRUE(dev.link.sent.empty());
    EXPECT_EQ(dev.status.history, QStringList({""}));
    EXPECT_EQ(dev.progress.calls, QStringList({"Prepare 1", "Show", "Close"}));
}

struct ParamCase {
    ServiceParameterValues values;
    QByteArray data;
};

class ServiceData : public ::testing::TestWithParam<ParamCase> {};

TEST_P(ServiceData, SerialHighByteFirstRateBeforeCharge) {
    EXPECT_EQ(ServiceParameterWriteData(GetParam().values), GetParam().data);
}

INSTANTIATE_TEST_SUITE_P(Values, ServiceData,
                         ::testing::Values(ParamCase{{4660, 7, 1, 2}, Bytes({'W', 0, 0x12, 0x34, 0x07, 0x02, 0x01})},
                                           ParamCase{{65535, 255, 6, 4}, Bytes({'W', 0, 0xFF, 0xFF, 0xFF, 0x04, 0x06})},
                                           ParamCase{{0, 0, 0, 0}, Bytes({'W', 0, 0, 0, 0, 0, 0})}));

// The behaviour every write shares, run for each of them.
struct WriteOperation {
    const char* name;
    std::function<bool(const DeviceContext&)> run;
    QByteArray data;
    const char* success;
    const char* failure;
};

const WriteOperation kWrites[] = {
    {"Dimension", [](const DeviceContext& c) { return WriteDimension(c, "Hz", Channel::B); },
     QByteArray("R2\0Hz      ", 11), "dimension was written successfully", "dimension wasn't written"},
    {"Coefficients",
     [](const DeviceContext& c) { return WriteCoefficients(c, Channel::A, [] { return kDefaultCoefficients; }); },
     Bytes({'T', '1', 0, 0x64, 0x00, 0x64, 0xEC, 0x64, 0x0C}), "The coefficients was written successfully",
     "The coefficients wasn't written"},
    {"Parameters",
     [](const DeviceContext& c) {
         return WriteServiceParameters(c, {4660, 7, 1, 2});
     },
     Bytes({'W', 0, 0x12, 0x34, 0x07, 0x02, 0x01}), "The parameters was written successfully",
     "The parameters wasn't written"},
};

class EveryWrite : public ::testing::TestWithParam<WriteOperation> {};

TEST_P(EveryWrite, AcknowledgedWriteSendsKind8AndReportsSuccess) {
    FakeDevice dev;
    dev.link.replies = {dev.Ack()};
    EXPECT_TRUE(GetParam().run(dev.Context()));
    ASSERT_EQ(dev.link.sent.size(), 1u);
    EXPECT_EQ(dev.link.sent[0], BuildFrame(kTestAddress, "1.1.1", 8, 2, GetParam().data));
    EXPECT_EQ(dev.status.history, QStringList({"", GetParam().success}));
    EXPECT_EQ(dev.progress.calls, QStringList({"Prepare 1", "Show", "Set 1", "Close"}));
}

TEST_P(EveryWrite, AnythingButTheAcknowledgementIsFailure) {
    // No answer, another kind, an acknowledgement with data, one to another host.
    for (const QByteArray& reply : {QByteArray(), ReplyWith({}, kKindRead), ReplyWith("x", kKindAck),
                                    BuildFrame(kTestAddress, "1.1.2", kKindAck, 0, {})}) {
        FakeDevice dev;
        dev.showProgress = false;
        dev.link.replies = {reply};
        EXPECT_FALSE(GetParam().run(dev.Context()));
        EXPECT_EQ(dev.status.Status(), GetParam().failure);
        EXPECT_EQ(dev.progress.calls, QStringList({"Prepare 1", "Close"}));
    }
}

TEST_P(EveryWrite, AddressErrorAndCancelPassOutWithProgressClosed) {
    FakeDevice badAddress;
    badAddress.address = "1.1.256";
    EXPECT_THROW(GetParam().run(badAddress.Context()), EFormatError);
    EXPECT_TRUE(badAddress.link.sent.empty());
    EXPECT_EQ(badAddress.progress.calls.last(), "Close");

    FakeDevice cancelled;
    cancelled.link.answer = [](const QByteArray&) -> QByteArray { throw EProtocolCancel("Canceled"); };
    EXPECT_THROW(GetParam().run(cancelled.Context()), EProtocolCancel);
    EXPECT_EQ(cancelled.status.history, QStringList({""}));
    EXPECT_EQ(cancelled.progress.calls.last(), "Close");
}

INSTANTIATE_TEST_SUITE_P(Operations, EveryWrite, ::testing::ValuesIn(kWrites),
                         [](const auto& test) { return std::string(test.param.name); });

} // namespace
} // namespace zir::test
