#pragma once
// The lines of --trace: one per frame sent and one per read, with the time
// of day, the direction, the attempt (for a frame sent), the length, the
// verdict (for a read) and the bytes in hexadecimal:
//   14:30:05.123  TX  #1  20 B  FF FF FF 01 01 01 06 02 02 00 ...
//   14:30:05.151  RX  27 B  accepted  01 01 01 FF FF FF 06 00 ...

#include <QByteArray>
#include <QString>
#include <QTime>

namespace zir::cli {

QString TraceSentLine(const QTime& at, int attempt, const QByteArray& bytes);
// The verdict is the frame check's on the bytes of the read: "accepted",
// "rejected", "packet error", or "no reply" for a read that brought nothing.
QString TraceReadLine(const QTime& at, const QByteArray& bytes);

} // namespace zir::cli
