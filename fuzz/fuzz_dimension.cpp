// libFuzzer target: the dimension read (one reply from the input) and the
// dimension text on its way to the instrument and back (the rest of the
// input, as Windows-1251 text typed by the operator).
//
// Read: a 30-byte reply gives the text of its 8 unit bytes, nothing else
// gives an empty text; the text never starts or ends with a blank or a
// control character and grows by at most the three symbol replacements.
// Write and read back: a text without the four symbol codes, written, read
// back and written again sends the same 8 bytes: what the instrument shows
// as the read-back text is what the operator wrote.
#include "core/Cp1251.h"
#include "core/Text.h"
#include "device/Dimension.h"
#include "fuzz/FuzzSupport.h"

using namespace zir;
using namespace zir::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitTarget(); }

namespace {

bool HasSymbolCode(const QString& text) {
    for (const QChar c : text)
        if (c == kSymbolMicro || c == kSymbolPlusMinus || c == kSymbolSquare || c == kSymbolPerHour) return true;
    return false;
}

void CheckRead(ReplyScript& script, std::uint8_t bank, Channel channel) {
    ScriptedInstrument instrument(script);
    RecordedWindow window;
    const DeviceContext ctx = window.Context(instrument.link, kFuzzAddress);
    const QString text = ReadRazm(ctx, bank, channel);
    Require(instrument.Requests().size() == 1 &&
                instrument.Requests()[0] ==
                    ReadRequest(QByteArray(1, static_cast<char>(bank)) + 'R' + ChannelCharacter(channel)),
            "one dimension request naming bank and channel");
    Require(window.status.history.isEmpty(), "a dimension read leaves the status line alone");
    const QByteArray& reply = instrument.replies[0];
    if (reply.size() != kDimensionReplySize) {
        Require(text.isEmpty(), "no 30-byte reply, no text", text);
        return;
    }
    Require(text == DecodeDimensionText(reply.mid(18, kDimensionLength)), "the text of the 8 unit bytes");
    Require(text.size() <= kDimensionLength + 3, "at most three symbols grow the text", text);
    Require(text.isEmpty() || (!IsBlankOrControl(text.front().unicode()) && !IsBlankOrControl(text.back().unicode())),
            "no blank or control character at either end", text);
}

void CheckWriteAndReadBack(const QByteArray& typed) {
    const QString text = TrimBlanksAndControls(Cp1251ToUnicode(typed).left(kDimensionLength)).toString();
    if (HasSymbolCode(text) || !TryUnicodeToCp1251(text)) return;
    const QByteArray sent = DimensionWriteData(text, Channel::A);
    Require(sent.size() == 3 + kDimensionLength && sent.startsWith(QByteArray("R1\0", 3)), "R, channel, 0, 8 bytes");
    const QString readBack = DecodeDimensionText(sent.sliced(3));
    Require(DimensionWriteData(readBack, Channel::A) == sent, "the read-back text sends the same bytes", readBack);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplyScript script(Bytes(data, size));
    CheckRead(script, 'B', Channel::A);
    CheckWriteAndReadBack(script.Rest());
    return 0;
}
