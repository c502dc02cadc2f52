#include "archive/BankList.h"

#include <algorithm>

#include "device/DeviceRequest.h"
#include "link/ZebusModTransport.h"
#include "link/numFormats.h"

namespace zir {

namespace {
// Offsets in the header reply frame.
constexpr int kLetterOffset = 14;
constexpr int kDayOffset = 17;
constexpr int kMonthOffset = 18;
constexpr int kYearOffset = 19;
constexpr int kHighestListableBank = 99; // keeps the sort key's two digits

QString TwoDigits(int value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); }
} // namespace

std::optional<BankHeader> DecodeBankHeader(const QByteArray& reply) {
    if (reply.size() != kBankHeaderReplySize) return std::nullopt;
    const auto byteAt = [&](int offset) { return FrameByte(reply, offset); };
    const std::uint8_t letter = byteAt(kLetterOffset);
    if (letter < kBankLetterBase || BankNumberOf(letter) > kHighestListableBank) return std::nullopt;
    for (int offset : {kDayOffset, kMonthOffset, kYearOffset}) {
        if (!IsPackedBcd(byteAt(offset))) return std::nullopt;
    }
    const QDate date(2000 + DecodeBcd(byteAt(kYearOffset)), DecodeBcd(byteAt(kMonthOffset)),
                     DecodeBcd(byteAt(kDayOffset)));
    if (!date.isValid()) return std::nullopt;
    return BankHeader{BankNumberOf(letter), date};
}

QString BankSortKey(const BankHeader& header) {
    return TwoDigits(header.date.year() - 2000) + TwoDigits(header.date.month()) + TwoDigits(header.date.day()) +
           TwoDigits(header.bank);
}

QList<BankHeader> RefreshBankList(const DeviceContext& ctx, const std::function<void()>& processEvents) {
    const PortHold hold(ctx.link);
    ctx.status.SetStatus(QStringLiteral("Refreshing of bank list"));
    QList<BankHeader> active;
    {
        ProgressGuard progress(ctx, kBankCount);
        for (int n = 0; n < kBankCount; ++n) {
            if (processEvents) processEvents();
            const QByteArray request = QByteArray(1, BankLetter(std::uint8_t(n))) + 'V';
            const QByteArray reply = RequestRead(ctx, request);
            progress.Set(n);
            if (auto header = DecodeBankHeader(reply)) active.push_back(*header);
        }
    }
    std::stable_sort(active.begin(), active.end(),
                     [](const BankHeader& a, const BankHeader& b) { return BankSortKey(a) < BankSortKey(b); });
    ctx.status.SetStatus(active.isEmpty() ? kNoActiveBanks : QStringLiteral("Bank list was refreshed"));
    return active;
}

} // namespace zir
