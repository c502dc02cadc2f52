#include "sim/FrameLog.h"

#include <stdexcept>

#include "sim/InstrumentState.h"

namespace zir::sim {

FrameLog::FrameLog(const QString& path) : file_(path) {
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        throw std::runtime_error(
            QStringLiteral("cannot open the log %1: %2").arg(path, file_.errorString()).toStdString());
}

void FrameLog::Write(const QString& direction, const QByteArray& bytes) {
    file_.write(FrameLogLine(QDateTime::currentDateTime(), direction, bytes).toUtf8());
    file_.flush();
}

QString FrameLogLine(const QDateTime& at, const QString& direction, const QByteArray& bytes) {
    return at.toString(Qt::ISODateWithMs) + QLatin1Char(' ') + direction + QLatin1Char(' ') + HexText(bytes) +
           QLatin1Char('\n');
}

QList<QByteArray> FramesInLog(const QByteArray& log, const QString& direction) {
    QList<QByteArray> frames;
    const QByteArray wanted = direction.toLatin1();
    for (const QByteArray& line : log.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() < 3 || fields[1] != wanted) continue;
        if (const auto bytes = ParseHexBytes(QString::fromLatin1(fields.mid(2).join(' ')))) frames.append(*bytes);
    }
    return frames;
}

} // namespace zir::sim
