#pragma once
// The frame log: one line per frame received or sent, written at once so
// that a test can read it while the simulator runs:
//   2026-12-08T18:06:44.123 RX FF FF FF 01 01 01 06 02 02 00 ...
// Directions: RX (a frame received), TX (a frame sent), DROP (received
// bytes that form no frame).

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>

namespace zir::sim {

class FrameLog {
public:
    // Appends to `path`; throws std::runtime_error when it cannot be opened.
    explicit FrameLog(const QString& path);
    void Write(const QString& direction, const QByteArray& bytes);

private:
    QFile file_;
};

QString FrameLogLine(const QDateTime& at, const QString& direction, const QByteArray& bytes);
// The frames of one direction in a log's text, in order.
QList<QByteArray> FramesInLog(const QByteArray& log, const QString& direction);

} // namespace zir::sim
