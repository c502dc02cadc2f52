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

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    InitNumberFormats();
    return 0;
}

namespace {

// The dimension text a reply gives: decoded from its 8 bytes when it is 30
// bytes long, empty otherwise.
QString DimensionOf(const QByteArray& reply)
{
    return reply.size() == kDimensionReplySize ? DecodeDimensionText(reply.mid(18, kDimensionLength)) : QString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ReplyScript script(Bytes(data, size));
    ScriptedLink link(script);
    QuietWindow window;
    const DeviceContext ctx{link, kFuzzAddress, window, window, true};

    const std::optional<CurrentDataFields> fields = ReadCurrentData(ctx);

    Require(link.requests.size() == 4, "four requests");
    const QByteArray& clock = link.replies[0];
    const char bank = clock.size() == kClockReplySize ? clock.at(22) : static_cast<char>(kUnknownBankSelector);
    Require(link.requests[0] == ReadRequest("XT"), "clock request first");
    Require(link.requests[1] == ReadRequest(QByteArray(1, bank) + "R1"), "dimension of A for the bank in use");
    Require(link.requests[2] == ReadRequest(QByteArray(1, bank) + "R2"), "dimension of B for the bank in use");
    Require(link.requests[3] == ReadRequest("XW"), "current values last");
    Require(window.prepared == 1 && window.closed == 1, "progress window prepared and closed once");

    const QByteArray& values = link.replies[3];
    if (values.size() != kCurrentValuesReplySize) {
        Require(!fields && window.Status() == QLatin1String("Current measures wasn't written"), "no values",
                window.Status());
        return 0;
    }
    Require(fields.has_value() && window.Status() == QLatin1String("Current measures was written successfully"),
            "values shown", window.Status());

    const struct {
        const QString& text;
        const QString& uncertainty;
        int uncertaintyOffset;
        QString dimension;
    } channels[] = {
        {fields->dataA, fields->pogrA, 20, DimensionOf(link.replies[1])},
        {fields->dataB, fields->pogrB, 17, DimensionOf(link.replies[2])},
    };
    for (const auto& c : channels) {
        Require(c.uncertainty == QString::number(ByteAt(values, c.uncertaintyOffset)), "uncertainty is its byte");
        const QString suffix = QLatin1Char(' ') + c.dimension;
        Require(c.text.endsWith(suffix), "value text, a blank and the dimension", c.text);
        CheckValueText(ValueCodeAt(values, c.uncertaintyOffset + 1), c.text.chopped(suffix.size()));
    }
    return 0;
}
