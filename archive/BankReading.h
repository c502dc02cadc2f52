#pragma once
// Reading one archive bank (or every bank) into the outputs: the selection,
// the question about the current bank, the time window, the dimension texts
// and one record request per minute.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

#include <optional>

#include "archive/ArchiveReport.h"
#include "archive/BankList.h"
#include "archive/ReadingInputs.h"
#include "core/OperatorDialogs.h"
#include "device/DeviceContext.h"

namespace zir {

// What a reading is asked to do, as the window's fields give it when the reading starts.
struct BankReadingInputs {
    // The bank to read; nullopt when the selection names none (the operator
    // is then asked about the bank in use).
    std::optional<BankSelection> bank;
    TimeFilter filter;
    bool noNull = false;  // leave out empty records
    bool toExcel = false; // a new workbook
    bool toFile = false;  // "Archive.txt"
};

struct ArchiveServices {
    DeviceContext ctx;
    IOperatorDialogs& operatorDialogs; // the one question and the message boxes
    // Lets pending events run before each request; may throw to end the
    // operation (a close of the program asked for meanwhile).
    std::function<void()> processEvents;
    IClock& clock; // the computer's date, for the bank in use
};

// Reads the selected bank. Refusals end it with their message; an address
// error or the operator's cancel passes out after the outputs have been
// ended. Returns the minutes asked for and read (none after a refusal); the
// report is told them as well (Counted), also when an error ends the reading.
MinuteCount ReadBank(const ArchiveServices& services, const BankReadingInputs& inputs, IArchiveReport& report);

// Refreshes the bank list (applyBankList gets the active banks), then reads
// each listed bank, oldest first: selectBank(i) makes bank i the selection
// and returns the window's inputs as they are then. A refusal ends only that
// bank; an error ends the whole operation. Returns the minutes of all banks.
MinuteCount ReadWholeArchive(const ArchiveServices& services, IArchiveReport& report,
                             const std::function<void(const QList<BankHeader>&)>& applyBankList,
                             const std::function<BankReadingInputs(int index)>& selectBank);

} // namespace zir
