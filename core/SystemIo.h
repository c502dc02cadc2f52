#pragma once
// Small helpers around the system's file calls.

#include <QByteArrayView>
#include <QString>

namespace zir {

// The system's text for an errno value, in the locale's encoding.
QString SystemErrorText(int error);

// Writes all of `bytes` to fd, going on after interruptions and partial
// writes. 0 when everything was written, otherwise the errno of the failure
// (EIO when the system took no byte without naming an error).
int WriteWhole(int fd, QByteArrayView bytes);

} // namespace zir
