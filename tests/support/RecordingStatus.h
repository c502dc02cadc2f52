#pragma once
// Shared by the device and archive tests: readable failure output for Qt
// strings and bytes, and a status line that keeps every text it was given.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

#include "core/StatusLine.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '{' << list.join(QStringLiteral("|")).toStdString() << '}';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os) { *os << bytes.toHex(' ').toStdString(); }

namespace zir::test {

class RecordingStatus final : public IStatusLine {
public:
    QStringList history;
    void SetStatus(const QString& text) override { history << text; }
    QString Status() const override { return history.isEmpty() ? QString() : history.last(); }
};

} // namespace zir::test
