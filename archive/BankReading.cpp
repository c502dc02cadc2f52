#include "archive/BankReading.h"

#include <optional>

#include "archive/ArchiveRecord.h"
#include "archive/BankList.h"
#include "archive/ReadingInputs.h"
#include "device/Clock.h"
#include "device/DeviceRequest.h"
#include "device/Dimension.h"

namespace zir {

namespace {
constexpr std::uint8_t kNoBank = 255;
// Two dimension reads come before the records in the progress.
constexpr int kStepsBeforeRecords = 3;

// The selection from the bank list box or, when it does not convert and the
// operator agrees, the bank the instrument is filling today.
std::optional<BankSelection> ChooseBank(const ArchiveServices& services, const std::optional<BankSelection>& selected) {
    if (selected) return selected;
    const QString hint = QStringLiteral("You can refresh list of banks before using this request");
    services.ctx.status.SetStatus(hint);
    services.operatorDialogs.ShowMessage(hint);
    BankSelection current{kNoBank, services.clock.Now().date()};
    if (services.operatorDialogs.AskYesNoCancel(QStringLiteral("Would you read values from current bank?")) ==
        Answer::Yes) {
        if (auto letter = ReadCurrentBankLetter(services.ctx)) current.bank = BankNumberOf(*letter);
    }
    if (current.bank == kNoBank) {
        services.ctx.status.SetStatus(QStringLiteral("Arhive reading was broken because number is wrong"));
        return std::nullopt;
    }
    return current;
}

// Dimension texts, then one request per minute; lastLine receives each record
// line as it is built, so the report end has it however the loop ends.
void ReadRecords(const ArchiveServices& services, const BankReadingInputs& inputs, const BankSelection& bank,
                 const TimeWindow& window, IArchiveReport& report, QString& lastLine, MinuteCount& count) {
    const DeviceContext& ctx = services.ctx;
    ProgressGuard progress(ctx, window.to - window.from + kStepsBeforeRecords);
    const char letter = BankLetter(bank.bank);

    ctx.status.SetStatus(QStringLiteral("Reading of dimension of chanel A"));
    const QString dimensionA = ReadRazm(ctx, std::uint8_t(letter), Channel::A);
    progress.Set(1);
    ctx.status.SetStatus(QStringLiteral("Reading of dimension of chanel B"));
    const QString dimensionB = ReadRazm(ctx, std::uint8_t(letter), Channel::B);
    progress.Set(2);
    report.Heads(dimensionA, dimensionB);

    ctx.status.SetStatus(QStringLiteral("Reading of archive bank ") + QString::number(bank.bank));
    for (int index = window.from; index <= window.to; ++index) {
        if (services.processEvents) services.processEvents();
        const QByteArray reply = RequestRead(ctx, RecordRequestData(letter, index));
        ++count.asked;
        const int row = index - window.from + kStepsBeforeRecords;
        progress.Set(row);
        const std::optional<ArchiveRecord> record = DecodeRecord(reply, bank.date);
        if (!record) {
            report.Unanswered(index);
            continue;
        }
        ++count.read;
        lastLine = RecordLine(*record, dimensionA, dimensionB);
        if (inputs.noNull && IsEmptyRecord(*record)) continue;
        report.Record(*record, lastLine, index, row);
    }
}
} // namespace

MinuteCount ReadBank(const ArchiveServices& services, const BankReadingInputs& inputs, IArchiveReport& report) {
    const DeviceContext& ctx = services.ctx;
    const PortHold hold(ctx.link);
    ctx.status.SetStatus(QString());
    const std::optional<BankSelection> bank = ChooseBank(services, inputs.bank);
    if (!bank) return {};

    const QString title = ReportTitle(ctx.deviceAddress, bank->date, inputs.filter);
    ctx.status.SetStatus(title);
    if (!report.Start({title, bank->bank, bank->date, inputs.toExcel, inputs.toFile})) return {};
    report.ShowList();

    const TimeWindow window = WindowOf(inputs.filter);
    if (window.from > window.to) {
        services.operatorDialogs.ShowMessage(QStringLiteral("Time interval is wrong"));
        report.Abandon();
        return {};
    }

    QString lastLine;
    MinuteCount count;
    try {
        ReadRecords(services, inputs, *bank, window, report, lastLine, count);
    } catch (...) {
        report.Counted(count);
        report.End(lastLine, true);
        throw;
    }
    report.Counted(count);
    report.End(lastLine, false);
    return count;
}

MinuteCount ReadWholeArchive(const ArchiveServices& services, IArchiveReport& report,
                             const std::function<void(const QList<BankHeader>&)>& applyBankList,
                             const std::function<BankReadingInputs(int index)>& selectBank) {
    const PortHold hold(services.ctx.link);
    const QList<BankHeader> banks = RefreshBankList(services.ctx, services.processEvents);
    applyBankList(banks);
    MinuteCount total;
    for (int i = 0; i < banks.size(); ++i) total += ReadBank(services, selectBank(i), report);
    return total;
}

} // namespace zir
