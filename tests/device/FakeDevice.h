#pragma once
// Scripted stand-ins for the instrument link, the status line and the
// progress window, for device operation tests.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

#include "device/DeviceContext.h"
#include "link/ZebusModTransport.h"
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

// Data part of a request frame.
inline QByteArray FrameData(const QByteArray& frame) {
    return frame.size() > kFrameHeaderSize ? frame.mid(kFrameHeaderSize, frame.size() - kFrameHeaderSize - 4)
                                           : QByteArray();
}

class FakeLink final : public IDeviceLink {
public:
    // Answers by request data; unset: replies in order from `replies`, then none.
    std::function<QByteArray(const QByteArray& data)> answer;
    std::deque<QByteArray> replies;
    std::vector<QByteArray> sent;

    QByteArray Request(const QByteArray& frame) override {
        sent.push_back(frame);
        if (answer) return answer(FrameData(frame));
        if (replies.empty()) return {};
        QByteArray reply = replies.front();
        replies.pop_front();
        return reply;
    }
    std::vector<QByteArray> SentData() const {
        std::vector<QByteArray> out;
        for (const auto& frame : sent) out.push_back(FrameData(frame));
        return out;
    }
};

using FakeStatus = RecordingStatus;

class FakeProgress final : public IProgress {
public:
    QStringList calls;
    void Prepare(int maxValue) override { calls << QStringLiteral("Prepare %1").arg(maxValue); }
    void Show() override { calls << QStringLiteral("Show"); }
    void SetProgress(int position) override { calls << QStringLiteral("Set %1").arg(position); }
    void Close() override { calls << QStringLiteral("Close"); }
};

struct FakeDevice {
    FakeLink link;
    FakeStatus status;
    FakeProgress progress;
    QString address = kTestAddress;
    bool showProgress = true;

    DeviceContext Context() { return DeviceContext{link, address, status, progress, showProgress}; }
    QByteArray Ack() const { return AcknowledgementFrame(kTestAddress); }
};

} // namespace zir::test
