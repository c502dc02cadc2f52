#pragma once
// The bank reading's inputs as the window holds them: the selection text of
// the bank list box and the two masked time fields ("!90:00;1;_").

#include <QDate>
#include <QString>
#include <cstdint>
#include <optional>

namespace zir {

struct BankSelection {
    std::uint8_t bank = 0;
    QDate date;
};

// "<number>:<short date>": the text before the first ":" is the bank number
// (decimal, only its low 8 bits count), the text after it the date in the
// system's short date form; blanks around either part do not matter.
// nullopt when there is no ":" or either part does not convert.
std::optional<BankSelection> ParseBankSelection(const QString& text);

struct TimeWindow {
    int from = 0;      // minutes after midnight
    int to = 1439;
};

// "hh:mm" of a masked time field: characters 1-2 are the hours and 4-5 the
// minutes, blanks around each pair do not matter. Not limited to one day
// ("25:00" gives 1500). nullopt when a pair does not convert.
std::optional<int> ParseTimeField(const QString& text);

// From and To of the reading: 0 and 1439 unless the filter is on and its
// field converts.
TimeWindow ReadTimeWindow(bool fromOn, const QString& fromText, bool toOn, const QString& toText);

} // namespace zir
