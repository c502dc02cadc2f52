#pragma once
// The list of active archive banks: one header request ("<letter>V") per bank
// 0..13, the banks with a valid date sorted by date and then by number.

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "device/BankLetter.h"
#include "device/DeviceContext.h"

namespace zir {

inline constexpr int kBankCount = 14;
inline constexpr int kBankHeaderReplySize = 24;
inline const QString kNoActiveBanks = QStringLiteral("No active banks");

struct BankHeader {
    std::uint8_t bank = 0; // the number the reply names, not the one asked for
    QDate date;
    bool operator==(const BankHeader&) const = default;
};

// Decodes a 24-byte bank header reply. nullopt for any other length, a bank
// letter below "A", a bank number above 99, date bytes that are not packed
// BCD, or a day, month and year (2000 + yy) that form no calendar date.
std::optional<BankHeader> DecodeBankHeader(const QByteArray& reply);

// "yymmddnn": sorts by date, then by bank number.
QString BankSortKey(const BankHeader& header);

// Asks the 14 bank headers, letting pending events run before each request,
// and returns the active banks, oldest first. Reports on the status line
// that the list is being refreshed, then that it was refreshed or that no
// bank is active, and drives the progress (maximum 14). An address error
// or a cancel passes out before anything is returned.
QList<BankHeader> RefreshBankList(const DeviceContext& ctx, const std::function<void()>& processEvents);

} // namespace zir
