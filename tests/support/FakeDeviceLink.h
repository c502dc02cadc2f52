#pragma once
// The instrument link of tests that run device operations, archive readings
// and the main window without a port: it keeps every request frame and
// answers from a script.

#include <QByteArray>
#include <deque>
#include <functional>
#include <vector>

#include "link/Exchange.h"
#include "link/ZebusModTransport.h"

namespace zir::test {

// The data part of a frame: what lies between its header and its checksum.
inline QByteArray FrameData(const QByteArray& frame) {
    return frame.size() > kFrameHeaderSize ? frame.mid(kFrameHeaderSize, frame.size() - kFrameHeaderSize - 4)
                                           : QByteArray();
}

class FakeDeviceLink final : public IDeviceLink {
public:
    // Answers by the request's data (an empty reply is none); unset: the
    // replies in order from `replies`, then none.
    std::function<QByteArray(const QByteArray& requestData)> answer;
    std::deque<QByteArray> replies;
    // Runs before the n-th request (from 1) is answered; throwing from it
    // ends the request as an Escape press does.
    std::function<void(int requestNumber)> beforeRequest;
    std::vector<QByteArray> sent; // every request frame, in order

    QByteArray Request(const QByteArray& frame) override {
        sent.push_back(frame);
        if (beforeRequest) beforeRequest(static_cast<int>(sent.size()));
        if (answer) return answer(FrameData(frame));
        if (replies.empty()) return {};
        QByteArray reply = replies.front();
        replies.pop_front();
        return reply;
    }
    // The data of every request, in order.
    std::vector<QByteArray> SentData() const {
        std::vector<QByteArray> out;
        for (const QByteArray& frame : sent) out.push_back(FrameData(frame));
        return out;
    }
};

} // namespace zir::test
