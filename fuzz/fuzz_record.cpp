// libFuzzer target: the archive record reply, decoded for a bank date taken
// from the input. Checks that only a 30-byte reply decodes; that the record
// names the bank and minute its bytes say and, where those are digits, asks
// for itself again with the same bytes (the reply echoes the request); that
// its time is the bank date plus that many minutes, whatever the time zone
// does that day; that value texts stand for their codes and encode back to
// them; and the empty-record rule.
#include <QDateTime>
#include <cstdlib>

#include "archive/ArchiveRecord.h"
#include "fuzz/FuzzSupport.h"

using namespace zir;
using namespace zir::fuzz;

extern "C" int LLVMFuzzerInitialize(int*, char***) { return InitTarget(TimeZone::WithDaylightSaving); }

namespace {

bool IsEmptyMark(int percent) { return percent == 0 || percent == 255; }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    // Bank dates from 2000 to 2179, the days with a clock change included.
    const QDate bankDate = QDate(2000, 1, 1).addDays(data[0] | data[1] << 8);
    ReplyScript script(Bytes(data + 2, size - 2));
    const QByteArray reply = script.Next();

    const std::optional<ArchiveRecord> record = DecodeRecord(reply, bankDate);
    Require(record.has_value() == (reply.size() == kRecordReplySize), "a record from exactly 30 bytes");
    if (!record) return 0;

    const std::uint8_t letter = ByteAt(reply, 14);
    Require(record->bank == static_cast<std::uint8_t>(letter - 'A'), "bank is the letter minus A");
    int index = 0;
    bool digits = true;
    for (int i = 0; i < 4; ++i) {
        const int digit = ByteAt(reply, 15 + i) - '0';
        digits = digits && digit >= 0 && digit <= 9;
        index = index * 10 + digit;
    }
    Require(record->index == index, "index from the four digit bytes");
    if (digits)
        Require(RecordRequestData(static_cast<char>(letter), index) == reply.sliced(14, 5),
                "the record asks for itself with the bytes it echoes");

    const QDateTime midnight(bankDate, QTime(0, 0), Qt::UTC);
    Require(record->time.isValid() && midnight.secsTo(record->time) == static_cast<qint64>(index) * 60,
            "time is the bank date plus the index in minutes", record->time.toString(Qt::ISODate));
    Require(record->time.time().second() == 0, "no seconds in a record time");

    const std::uint16_t codeB = ValueCodeAt(reply, 21);
    const std::uint16_t codeA = ValueCodeAt(reply, 24);
    Require(record->uncertaintyB == ByteAt(reply, 20) && record->uncertaintyA == ByteAt(reply, 23),
            "uncertainties are their bytes");
    CheckValueText(codeA, record->valueA);
    CheckValueText(codeB, record->valueB);
    const bool empty = (codeA & 0x3FF) == 0 && (codeB & 0x3FF) == 0 && IsEmptyMark(record->uncertaintyA) &&
                       IsEmptyMark(record->uncertaintyB);
    Require(IsEmptyRecord(*record) == empty, "empty exactly when both values are 0 and both marks 0 or 255");

    const QString line = RecordLine(*record, QStringLiteral("A"), QStringLiteral("B"));
    Require(line.startsWith(DateTimeToText(record->time) + QStringLiteral("    ") + record->valueA +
                            QStringLiteral(" A")) &&
                line.endsWith(record->valueB + QStringLiteral(" B \u00B1 ") + QString::number(record->uncertaintyB) +
                              QStringLiteral(" %")),
            "record line holds the time, both values and units", line);
    return 0;
}
