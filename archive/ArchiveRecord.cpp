#include "archive/ArchiveRecord.h"

#include "core/DateText.h"
#include "device/BankLetter.h"
#include "link/ZebusModTransport.h"
#include "link/numFormats.h"

namespace zir {

namespace {
// Offsets in the record reply frame.
constexpr int kBankOffset = 14;
constexpr int kIndexOffset = 15; // four ASCII digits, most significant first
constexpr int kUncertaintyBOffset = 20;
constexpr int kValueBOffset = 21; // low byte first
constexpr int kUncertaintyAOffset = 23;
constexpr int kValueAOffset = 24; // low byte first

bool IsEmptyUncertainty(int percent) { return percent == 0 || percent == 255; }
} // namespace

QDateTime RecordTime(const QDate& bankDate, int index) {
    const int days = index >= 0 ? index / kMinutesPerDay : -((-index + kMinutesPerDay - 1) / kMinutesPerDay);
    const int minute = index - days * kMinutesPerDay;
    return QDateTime(bankDate.addDays(days), QTime(minute / 60, minute % 60), Qt::UTC);
}

QByteArray RecordRequestData(char bankLetter, int index) {
    return QByteArray(1, bankLetter) + QByteArray::number(index).rightJustified(4, '0');
}

std::optional<ArchiveRecord> DecodeRecord(const QByteArray& reply, const QDate& bankDate) {
    if (reply.size() != kRecordReplySize) return std::nullopt;
    ArchiveRecord record;
    record.bank = BankNumberOf(FrameByte(reply, kBankOffset));
    for (int i = 0; i < 4; ++i) record.index = record.index * 10 + (FrameByte(reply, kIndexOffset + i) - 0x30);
    record.time = RecordTime(bankDate, record.index);
    record.uncertaintyB = FrameByte(reply, kUncertaintyBOffset);
    record.codeB = ValueCodeAt(reply, kValueBOffset);
    record.valueB = ValueCodeToText(record.codeB);
    record.uncertaintyA = FrameByte(reply, kUncertaintyAOffset);
    record.codeA = ValueCodeAt(reply, kValueAOffset);
    record.valueA = ValueCodeToText(record.codeA);
    return record;
}

bool IsEmptyRecord(const ArchiveRecord& record) {
    return record.valueA == QLatin1String("0") && record.valueB == QLatin1String("0") &&
           IsEmptyUncertainty(record.uncertaintyA) && IsEmptyUncertainty(record.uncertaintyB);
}

QString RecordLine(const ArchiveRecord& record, const QString& dimensionA, const QString& dimensionB) {
    return RecordLine(record, dimensionA, dimensionB, QLocale::system());
}

QString RecordLine(const ArchiveRecord& record, const QString& dimensionA, const QString& dimensionB,
                   const QLocale& locale) {
    return DateTimeToText(record.time, locale) + QStringLiteral("    ") + record.valueA + u' ' + dimensionA +
           QStringLiteral(" \u00B1 ") + QString::number(record.uncertaintyA) + QStringLiteral(" %     ") +
           record.valueB + u' ' + dimensionB + QStringLiteral(" \u00B1 ") + QString::number(record.uncertaintyB) +
           QStringLiteral(" %");
}

QString ReportTitle(const QString& address, const QDate& bankDate, const TimeFilter& filter) {
    return ReportTitle(address, bankDate, filter, QLocale::system());
}

QString ReportTitle(const QString& address, const QDate& bankDate, const TimeFilter& filter, const QLocale& locale) {
    QString title =
        QStringLiteral("Report to ZIR ") + address + QStringLiteral(" on ") + ShortDateText(bankDate, locale);
    if (filter.from) title += QStringLiteral(" from ") + filter.from->label;
    if (filter.to) title += QStringLiteral(" to ") + filter.to->label;
    return title;
}

} // namespace zir
