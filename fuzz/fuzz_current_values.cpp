// libFuzzer target: a current-data reading as the window runs it, with the
// four replies (clock, dimension of A, dimension of B, current values) taken
// from the input. Checks the requests (the dimension requests name the bank
// of the clock reply, or 0x01 without one), the verdict, and that each field
// holds what its reply bytes say: value texts that stand for their codes and
// encode back to them, uncertainties as their bytes, the dimension texts.
#include "device/Clock.h"
#include "device/CurrentData.h"
#include "device/Dimension.h"
#include "fuzz/FuzzSupport.h"

using namespace zir;
using namespace zir::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitTarget(); }

namespace {

// The dimension text a reply gives: decoded from its 8 bytes when it is 30
// bytes long, empty otherwise.
QString DimensionOf(const QByteArray& reply) {
    return reply.size() == kDimensionReplySize ? DecodeDimensionText(reply.mid(18, kDimensionLength)) : QString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplyScript script(Bytes(data, size));
    ScriptedInstrument instrument(script);
    RecordedWindow window;
    const DeviceContext ctx = window.Context(instrument.link, kFuzzAddress);

    const std::optional<CurrentDataFields> fields = ReadCurrentData(ctx);

    Require(instrument.Requests().size() == 4, "four requests");
    const QByteArray& clock = instrument.replies[0];
    const char bank = clock.size() == kClockReplySize ? clock.at(22) : static_cast<char>(kUnknownBankSelector);
    Require(instrument.Requests()[0] == ReadRequest("XT"), "clock request first");
    Require(instrument.Requests()[1] == ReadRequest(QByteArray(1, bank) + "R1"), "dimension of A for the bank in use");
    Require(instrument.Requests()[2] == ReadRequest(QByteArray(1, bank) + "R2"), "dimension of B for the bank in use");
    Require(instrument.Requests()[3] == ReadRequest("XW"), "current values last");
    Require(window.ProgressOpenedAndClosedOnce(), "progress window prepared and closed once");

    const QByteArray& values = instrument.replies[3];
    if (values.size() != kCurrentValuesReplySize) {
        Require(!fields && window.status.Status() == QLatin1String("Current measures wasn't written"), "no values",
                window.status.Status());
        return 0;
    }
    Require(fields.has_value() && window.status.Status() == QLatin1String("Current measures was written successfully"),
            "values shown", window.status.Status());

    const struct {
        const QString& text;
        const QString& uncertainty;
        int uncertaintyOffset;
        QString dimension;
    } channels[] = {
        {fields->dataA, fields->uncertaintyA, 20, DimensionOf(instrument.replies[1])},
        {fields->dataB, fields->uncertaintyB, 17, DimensionOf(instrument.replies[2])},
    };
    for (const auto& c : channels) {
        Require(c.uncertainty == QString::number(ByteAt(values, c.uncertaintyOffset)), "uncertainty is its byte");
        const QString suffix = QLatin1Char(' ') + c.dimension;
        Require(c.text.endsWith(suffix), "value text, a blank and the dimension", c.text);
        CheckValueText(ValueCodeAt(values, c.uncertaintyOffset + 1), c.text.chopped(suffix.size()));
    }
    return 0;
}
