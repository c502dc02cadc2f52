#pragma once
// The instrument, the status line and the progress window of device
// operation tests, and the instrument's replies to them.

#include <QByteArray>
#include <QString>

#include "device/DeviceContext.h"
#include "link/ZebusModTransport.h"
#include "support/FakeDeviceLink.h"
#include "support/RecordingProgress.h"
#include "support/RecordingStatus.h"

namespace zir::test {

inline const QString kTestAddress = QStringLiteral("12.34.56");

// A validated reply from the instrument carrying `data`.
inline QByteArray ReplyWith(const QByteArray& data, std::uint8_t kind = kKindRead) {
    return BuildFrame(kTestAddress, kHostAddress, kind, 0, data);
}

inline QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out.append(static_cast<char>(v));
    return out;
}

struct FakeDevice {
    FakeDeviceLink link;
    RecordingStatus status;
    RecordingProgress progress;
    QString address = kTestAddress;
    bool showProgress = true;

    DeviceContext Context() { return DeviceContext{link, address, status, progress, showProgress}; }
    QByteArray Ack() const { return AcknowledgementFrame(kTestAddress); }
};

} // namespace zir::test
