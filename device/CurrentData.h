#pragma once
// Current value and uncertainty of both channels ("XW"), the automatic
// reading schedule and the log "ZIR.txt" of automatic readings.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

#include "device/DeviceContext.h"

namespace zir {

inline constexpr int kCurrentValuesReplySize = 27;
inline const QString kCurrentDataLogName = QStringLiteral("ZIR.txt");

// Texts of LE_DataA, LE_PogrA, LE_DataB, LE_PogrB.
struct CurrentDataFields {
    QString dataA;
    QString uncertaintyA;
    QString dataB;
    QString uncertaintyB;
    bool operator==(const CurrentDataFields&) const = default;
};

// The four field texts from a 27-byte "XW" reply: value text, a blank and the
// channel's dimension; the uncertainty in percent.
CurrentDataFields DecodeCurrentValues(const QByteArray& reply, const QString& dimensionA, const QString& dimensionB);

// The same reading as values: the codes and uncertainty bytes as the reply
// carries them, with the dimension texts read before it.
struct CurrentValues {
    std::uint16_t codeA = 0;
    int uncertaintyA = 0; // percent
    std::uint16_t codeB = 0;
    int uncertaintyB = 0;
    QString dimensionA;
    QString dimensionB;
};
CurrentValues DecodeCurrentValueCodes(const QByteArray& reply, const QString& dimensionA, const QString& dimensionB);

// One reading in four progress steps: clock for the bank letter (0x01 when it
// fails), dimension of channel A, of channel B, then the current values.
// Clears the status line first and ends on its success message with the
// fields, or on its failure message and nullopt. Address errors and the Escape cancel pass out. When values is
// given it receives the reading's values whenever fields are returned.
std::optional<CurrentDataFields> ReadCurrentData(const DeviceContext& ctx, CurrentValues* values = nullptr);

// Counts timer ticks from program start (the count is 1 at start and only
// grows) and tells when an automatic reading is due: whenever auto refresh is
// on and the count is a multiple of the period in seconds.
class TRefreshSchedule {
public:
    // One tick of the 1-second timer; true when a reading is due now.
    bool Tick(bool autoRefresh, std::int64_t periodSeconds);

private:
    std::int64_t refreshTicks_ = 1;
};

// Log line: date-time text, "  ", DataA, " ± ", PogrA, " %   ", DataB, " ± ",
// PogrB, " %".
QString CurrentDataLogLine(const QDateTime& now, const CurrentDataFields& fields);

// Appends the log line for `now` to the file at `path` and reports the line
// on the status line. When the file can be neither opened nor created the
// status line says the data could not be saved, nothing is written and `problem` (when given) receives a message naming
// the file and the cause. A write error throws EFileError naming both (no partial line is left). Returns true when the
// line was written.
bool AppendCurrentDataLog(const QString& path, const QDateTime& now, const CurrentDataFields& fields,
                          IStatusLine& status, QString* problem = nullptr);

} // namespace zir
