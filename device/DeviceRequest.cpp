#include "device/DeviceRequest.h"

#include "link/ZebusModTransport.h"

namespace zir {

QByteArray RequestRead(const DeviceContext& ctx, const QByteArray& data) {
    const QByteArray frame =
        BuildFrame(ctx.deviceAddress, kHostAddress, kKindRead, kControlRequest, data);
    return ctx.link.Request(frame);
}

bool RequestWrite(const DeviceContext& ctx, const QByteArray& data) {
    const QByteArray frame =
        BuildFrame(ctx.deviceAddress, kHostAddress, kKindWrite, kControlRequest, data);
    const QByteArray expected = AcknowledgementFrame(ctx.deviceAddress);
    const QByteArray reply = ctx.link.Request(frame);
    return !reply.isEmpty() && reply == expected;
}

} // namespace zir
