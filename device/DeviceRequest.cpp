#include "device/DeviceRequest.h"

#include "link/ZebusModTransport.h"

namespace zir {

QByteArray RequestRead(const DeviceContext& ctx, const QByteArray& data) {
    const QByteArray frame = BuildFrame(ctx.deviceAddress, kHostAddress, kKindRead, kControlRequest, data);
    return ctx.link.Request(frame);
}

bool RequestWrite(const DeviceContext& ctx, const QByteArray& data) {
    const QByteArray frame = BuildFrame(ctx.deviceAddress, kHostAddress, kKindWrite, kControlRequest, data);
    const QByteArray expected = AcknowledgementFrame(ctx.deviceAddress);
    return ctx.link.Request(frame) == expected;
}

bool RunSettingsWrite(const DeviceContext& ctx, const std::function<QByteArray()>& formData, const QString& okText,
                      const QString& failText) {
    ctx.status.SetStatus(QString());
    ProgressGuard progress(ctx, 1);
    if (RequestWrite(ctx, formData())) {
        progress.Set(1);
        ctx.status.SetStatus(okText);
        return true;
    }
    ctx.status.SetStatus(failText);
    return false;
}

} // namespace zir
