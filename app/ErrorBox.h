#pragma once
// Text of the application's error box.

#include <QString>
#include <exception>

namespace zir {

// The message with a full stop appended when its last character sorts after
// "." (letters and digits do; ".", "!" and "," do not).
QString ErrorBoxText(const QString& message);

// The message of an error the program or the library raised (UTF-8).
QString ExceptionMessage(const std::exception& error);

} // namespace zir
