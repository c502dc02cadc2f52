#include "app/ErrorBox.h"

namespace zir {

QString ErrorBoxText(const QString& message) {
    if (!message.isEmpty() && message.back() > QLatin1Char('.')) return message + QLatin1Char('.');
    return message;
}

QString ExceptionMessage(const std::exception& error) { return QString::fromUtf8(error.what()); }

} // namespace zir
