#pragma once
// The clock request of tests, as the program sends it to the instrument at
// 255.255.255, and a reply from that instrument.

#include <QByteArray>

#include "link/ZebusModTransport.h"

namespace zir::test {

inline QByteArray ClockRequestFrame() {
    return BuildFrame("255.255.255", kHostAddress, kKindRead, kControlRequest, "XT");
}

// The 27-byte reply carrying the clock's nine data bytes.
inline QByteArray ClockReplyFrame(const QByteArray& data) {
    return BuildFrame(kHostAddress, "255.255.255", kKindRead, 0, data);
}

} // namespace zir::test
