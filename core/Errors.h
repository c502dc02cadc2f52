#pragma once
// Error types of the program. Every failure the operator must see is raised as
// one of these; the application's error box shows what().

#include <QString>
#include <stdexcept>

namespace zir {

// Base of all errors the program raises itself. The message is kept as UTF-8.
class EZirError : public std::runtime_error {
public:
    explicit EZirError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromUtf8(what()); }
};

// A device address text that is not "xxx.yyy.zzz".
class EFormatError : public EZirError {
public:
    EFormatError() : EZirError(QStringLiteral("ZeBUS address wrong")) {}
};

// The operator cancelled an exchange, or a read brought a packet too short
// to be a frame.
class EProtocolCancel : public EZirError {
public:
    using EZirError::EZirError;
};

// A typed text that does not convert ("'%s' is not a valid floating point
// value", "'%s' is not a valid integer value", ...), or a number that the
// instrument cannot hold.
class EConvertError : public EZirError {
public:
    using EZirError::EZirError;
};

// The serial port cannot be opened or has gone away (names port, path, reason).
class EPortError : public EZirError {
public:
    using EZirError::EZirError;
};

// A file could not be read or written.
class EFileError : public EZirError {
public:
    using EZirError::EZirError;
};

} // namespace zir
