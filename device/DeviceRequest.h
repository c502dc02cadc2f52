#pragma once
// One request to the instrument from a device operation: the frame goes from
// the tool (1.1.1) to the address typed in the window, control byte 2.

#include <QByteArray>
#include <QString>
#include <functional>

#include "device/DeviceContext.h"

namespace zir {

// Sends a read request (kind 6) with the given data and returns the validated
// reply, empty when the instrument did not answer. Throws EFormatError for a
// malformed address before the port is opened.
QByteArray RequestRead(const DeviceContext& ctx, const QByteArray& data);

// Sends a write request (kind 8) and tells whether the reply is, byte for
// byte, the acknowledgement the instrument gives for an executed write.
bool RequestWrite(const DeviceContext& ctx, const QByteArray& data);

// A settings write as the window runs it: clears the status line, prepares
// the progress (one step), forms the data (a conversion error ends it there,
// nothing sent), sends it and sets okText when the acknowledgement came,
// failText otherwise. The progress window is closed however it ends.
bool RunSettingsWrite(const DeviceContext& ctx, const std::function<QByteArray()>& formData, const QString& okText,
                      const QString& failText);

} // namespace zir
