// libFuzzer target: the bank list refresh with the 14 header replies taken
// from the input. Checks the 14 requests, that exactly the replies with a
// bank letter A.. and a real calendar date in packed BCD are listed, that
// they come oldest first (banks of one date by number), that each listed
// header encodes back to the reply's bytes, and that the list box entry of each,
// read back the way the bank reading reads it, names the same bank and date.
#include <algorithm>
#include <utility>

#include "app/FieldText.h"
#include "archive/BankList.h"
#include "archive/ReadingInputs.h"
#include "fuzz/FuzzSupport.h"

using namespace zir;
using namespace zir::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitTarget(); }

namespace {

// The header a reply stands for, worked out from its bytes here.
std::optional<BankHeader> Expected(const QByteArray& reply) {
    if (reply.size() != kBankHeaderReplySize) return std::nullopt;
    const std::uint8_t letter = ByteAt(reply, 14);
    if (letter < 'A' || letter - 'A' > 99) return std::nullopt;
    int fields[3];
    for (int i = 0; i < 3; ++i) {
        const std::uint8_t byte = ByteAt(reply, 17 + i);
        if ((byte >> 4) > 9 || (byte & 0x0F) > 9) return std::nullopt;
        fields[i] = (byte >> 4) * 10 + (byte & 0x0F);
    }
    if (!IsCalendarDate(2000 + fields[2], fields[1], fields[0])) return std::nullopt;
    return BankHeader{static_cast<std::uint8_t>(letter - 'A'), QDate(2000 + fields[2], fields[1], fields[0])};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReplyScript script(Bytes(data, size));
    ScriptedInstrument instrument(script);
    RecordedWindow window;
    const DeviceContext ctx = window.Context(instrument.link, kFuzzAddress);
    int eventsRun = 0;
    const QList<BankHeader> banks = RefreshBankList(ctx, [&eventsRun] { ++eventsRun; });

    Require(instrument.Requests().size() == kBankCount && eventsRun == kBankCount, "14 requests, events before each");
    std::vector<std::pair<std::pair<QDate, int>, BankHeader>> listed;
    for (int n = 0; n < kBankCount; ++n) {
        Require(instrument.Requests()[static_cast<std::size_t>(n)] ==
                    ReadRequest(QByteArray(1, BankLetter(static_cast<std::uint8_t>(n))) + 'V'),
                "bank letter and V, A to N in order");
        const QByteArray& reply = instrument.replies[static_cast<std::size_t>(n)];
        const std::optional<BankHeader> expected = Expected(reply);
        const std::optional<BankHeader> decoded = DecodeBankHeader(reply);
        Require(decoded.has_value() == expected.has_value(), "listed exactly when letter and date are good");
        if (!decoded) continue;
        Require(decoded->bank == expected->bank && decoded->date == expected->date, "bank and date of the reply");
        Require(BankLetter(decoded->bank) == reply.at(14) && PackedBcd(decoded->date.day()) == ByteAt(reply, 17) &&
                    PackedBcd(decoded->date.month()) == ByteAt(reply, 18) &&
                    PackedBcd(decoded->date.year() - 2000) == ByteAt(reply, 19),
                "header encodes back to the reply's bytes");
        Require(BankSortKey(*decoded).size() == 8, "sort key of eight digits", BankSortKey(*decoded));
        listed.push_back({{decoded->date, decoded->bank}, *decoded});
    }
    std::stable_sort(listed.begin(), listed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    Require(banks.size() == static_cast<qsizetype>(listed.size()), "one entry per listed bank");
    Require(window.status.Status() == (banks.isEmpty() ? kNoActiveBanks : QStringLiteral("Bank list was refreshed")),
            "closing status", window.status.Status());
    Require(window.ProgressOpenedAndClosedOnce(), "progress window prepared and closed once");
    for (qsizetype i = 0; i < banks.size(); ++i) {
        const BankHeader& header = listed[static_cast<std::size_t>(i)].second;
        Require(banks[i] == header, "oldest first, then by number", BankSortKey(banks[i]));
        const QString entry = BankEntryText(header.bank, header.date);
        const std::optional<BankSelection> back = ParseBankSelection(entry);
        Require(back && back->bank == header.bank && back->date == header.date,
                "the bank reading reads the list box entry back", entry);
    }
    return 0;
}
