#pragma once
// Cuts the byte stream that arrives on the line into request frames, using
// each header's own length field. Bytes that cannot start a frame (a bad
// header checksum, a length no request has, a bad data checksum, a header
// whose frame never completes) are skipped one at a time until a frame lines
// up again, and handed out as junk so they can be logged.

#include <QByteArray>
#include <chrono>
#include <deque>
#include <optional>
#include <vector>

namespace zir::sim {

using SteadyTime = std::chrono::steady_clock::time_point;

struct LinePiece {
    enum class Kind { Frame, Junk };
    Kind kind = Kind::Frame;
    QByteArray bytes;
    SteadyTime firstByteAt{}; // when the first byte of the piece arrived
};

class FrameSplitter {
public:
    // Requests are short; a header announcing more than this is not one.
    static constexpr int kMaxRequestLength = 300;

    void Feed(const QByteArray& bytes, SteadyTime arrivedAt);
    // The next whole frame or run of junk, in line order; nullopt while the
    // bytes at hand are the start of a frame still arriving.
    std::optional<LinePiece> Next();
    // Once no byte has arrived for `gap`, the bytes at hand are all there
    // will be: a frame still incomplete is given up as junk byte by byte, so
    // that a whole frame behind a false header still comes out. Hands out the
    // next piece of those bytes (call it until it gives nothing).
    std::optional<LinePiece> DropStale(SteadyTime now, std::chrono::milliseconds gap);
    bool Empty() const { return buffer_.isEmpty(); }

private:
    // The next piece; with `lineSilent` no frame is waited for and what
    // cannot be one is junk.
    std::optional<LinePiece> Scan(bool lineSilent);
    LinePiece Take(LinePiece::Kind kind, int count);

    QByteArray buffer_;
    std::vector<SteadyTime> arrival_; // per byte of buffer_
    int junkLength_ = 0;              // leading bytes of buffer_ already judged junk
};

} // namespace zir::sim
