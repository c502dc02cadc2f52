#pragma once
// What happens on the line during the request exchange, as events: every
// frame sent, every read with the codec's verdict, and the end of each
// request. The exchange reports them to an ILineObserver when one is set
// (the line monitor window, zir-cli --trace); FormatLineEvent makes the one
// text line both print for an event.

#include <QByteArray>
#include <QString>
#include <QTime>
#include <cstdint>
#include <optional>

#include "ZebusModTransport.h"

namespace zir {

// How a request ended.
enum class RequestOutcome {
    Reply,     // a frame was accepted
    NoAnswer,  // six attempts brought no acceptable frame
    Cancelled, // Escape (or a close of the program) cancelled it
    Error,     // the port could not be opened, went away, or the speed was no number
};

struct LineEvent {
    enum class Kind { Sent, Read, RequestEnd };

    Kind kind = Kind::Sent;
    // The exchange's clock when it happened.
    std::int64_t timeMs = 0;
    // Attempt 1 to 6; 0 for a request that ended before its first attempt
    // (the port did not open) and for a read outside SendCommand.
    int attempt = 0;
    // Sent: the frame. Read: every byte the read brought. RequestEnd: the
    // reply (empty unless the outcome is Reply).
    QByteArray bytes;
    // Sent: every byte of the frame went to the port.
    bool written = true;
    // Read: the codec's verdict on the bytes. Accepted also when a whole
    // frame was found among them: the bytes around it (left over from an
    // earlier reply, or stray bytes behind it) are counted in strayBytes.
    FrameCheck check{FrameVerdict::NoReply, RejectReason::None};
    int strayBytes = 0;
    // RequestEnd.
    RequestOutcome outcome = RequestOutcome::Reply;
    std::int64_t durationMs = 0; // from the start of the request
    QString message;             // Cancelled and Error: the error's text
};

class ILineObserver {
public:
    virtual ~ILineObserver() = default;
    // Called on the exchange's thread, while the exchange waits; keep it short.
    virtual void OnLineEvent(const LineEvent& event) = 0;
};

// "accepted", "no reply", "packet error", "rejected: header checksum",
// "rejected: length", "rejected: data checksum".
QString VerdictText(const FrameCheck& check);
// "reply", "no answer", "cancelled", "error".
QString OutcomeText(RequestOutcome outcome);
// The bytes as "FF 0A 41"; "" for none.
QString HexText(const QByteArray& bytes);
// Printable ASCII (0x20 to 0x7E) as it is, every other byte as ".".
QString AsciiText(const QByteArray& bytes);

// The line for an event, stamped with the time of day it happened:
//   14:30:00.120  TX  #1  20 B  FF FF FF 01 01 01 06 02 ...  |........XTTX..|
//   14:30:00.145  RX  27 B  accepted  01 01 01 FF FF FF ...  |..........|
//   14:30:00.645  RX  27 B  rejected: data checksum  01 01 ...  |...|
//   14:30:01.146  RX  0 B  no reply
//   14:30:00.145  END  #1  reply  25 ms
//   14:30:07.020  END  #6  no answer  7021 ms
//   14:30:00.000  END  error  0 ms  COM-port 1 can't be opened: ...
// A frame not written whole ends its TX line with "  write incomplete"; a
// read whose frame was found among other bytes says so after its verdict:
//   14:30:00.145  RX  30 B  accepted, 3 stray bytes left out  01 01 ...  |...|
QString FormatLineEvent(const LineEvent& event, QTime timeOfDay);

// Counts since the last clear, as the line monitor shows them.
struct LineCounters {
    std::int64_t requests = 0;
    std::int64_t firstAttempt = 0; // answered at attempt 1
    std::int64_t retried = 0;      // answered at attempt 2 to 6
    std::int64_t notAnswered = 0;
    std::int64_t cancelled = 0;
    std::int64_t errors = 0;
    std::int64_t framesSent = 0;
    std::int64_t accepted = 0; // reads accepted
    std::int64_t noReply = 0;  // reads that brought nothing
    std::int64_t packetErrors = 0;
    std::int64_t rejectedHeader = 0;
    std::int64_t rejectedLength = 0;
    std::int64_t rejectedData = 0;
    // Reply time: the duration of the requests answered.
    std::int64_t replyTimeTotalMs = 0;
    std::int64_t replyTimeMaxMs = 0;

    void Add(const LineEvent& event);
    std::int64_t Rejected() const { return rejectedHeader + rejectedLength + rejectedData; }
    std::int64_t Answered() const { return firstAttempt + retried; }
    // None before the first answered request.
    std::optional<std::int64_t> MeanReplyTimeMs() const;
};

} // namespace zir
