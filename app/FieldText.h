#pragma once
// The window's edge: the text formats of its fields turned into the typed
// values the operations take, and back. Nothing below app/ sees these formats.

#include <QDate>
#include <QString>
#include <cstdint>
#include <optional>

#include "archive/ReadingInputs.h"
#include "device/Channel.h"
#include "device/Coefficients.h"

namespace zir {

// RxSpE_NumChanel: 1 is channel A, 2 channel B (the field allows nothing else).
Channel ChannelOfField(int value);

// An entry of the bank list box: the bank number without leading zeros,
// ":  " and the date in the system's short date form.
QString BankEntryText(std::uint8_t bank, const QDate& date);

// The bank list box's text, an entry or typed by the operator:
// "<number>:<short date>". The text before the first ":" is the bank number
// (decimal, only its low 8 bits count), the text after it the date in the
// system's short date form; blanks around either part do not matter.
// nullopt when there is no ":" or either part does not convert.
std::optional<BankSelection> ParseBankSelection(const QString& text);

// "hh:mm" of a masked time field: characters 1-2 are the hours and 4-5 the
// minutes, blanks (or the mask's "_") around each pair do not matter. Not
// limited to one day ("25:00" gives 1500). nullopt when a pair does not convert.
std::optional<int> ParseTimeField(const QString& text);

// A filter end as the window holds it: nullopt while its box is off;
// otherwise the field's minute (`fallback` when the text does not convert)
// labelled with the text as shown.
std::optional<TimeLimit> TimeLimitOfField(bool filterOn, const QString& shownText, int fallback);

} // namespace zir
