#pragma once
// Reading one archive bank (or every bank) into the outputs: the selection,
// the question about the current bank, the time window, the dimension texts
// and one record request per minute.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <functional>

#include "archive/ArchiveReport.h"
#include "device/DeviceContext.h"

namespace zir {

// The operator's side of a reading: the one question and the message box.
class IArchiveOperator {
public:
    enum class Answer { Yes, No, Cancel };
    virtual ~IArchiveOperator() = default;
    virtual Answer AskYesNoCancel(const QString& text) = 0;  // warning box
    virtual void ShowMessage(const QString& text) = 0;
};

// The window's fields as they are when the reading starts.
struct BankReadingInputs {
    QString bankText;          // CB_Bank
    bool timeFromOn = false;   // CB_TimeFrom
    QString timeFromText = QStringLiteral("00:00");
    bool timeToOn = false;     // CB_TimeTo
    QString timeToText = QStringLiteral("23:59");
    bool noNull = false;       // CB_NoNull
    bool toExcel = false;      // CB_ToExcel
    bool toFile = false;       // CB_ToFile
};

struct ArchiveServices {
    DeviceContext ctx;
    IArchiveOperator& op;
    // Lets pending events run before each request; may throw to end the
    // operation (a close of the program asked for meanwhile).
    std::function<void()> processEvents;
    std::function<QDate()> today;          // the computer's date
};

// Reads the selected bank. Refusals end it with their message; an address
// error, the operator's cancel or an output error passes out after the
// outputs have been ended.
void ReadBank(const ArchiveServices& services, const BankReadingInputs& inputs,
              IArchiveReport& report);

// Refreshes the bank list (applyBankList gets the new entries), then reads
// each listed bank, oldest first: selectBank(i) makes entry i the selection
// and returns the window's inputs as they are then. A refusal ends only that
// bank; an error ends the whole operation.
void ReadWholeArchive(const ArchiveServices& services, IArchiveReport& report,
                      const std::function<void(const QStringList&)>& applyBankList,
                      const std::function<BankReadingInputs(int index)>& selectBank);

} // namespace zir
