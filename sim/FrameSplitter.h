#pragma once
// Cuts the byte stream that arrives on the line into request frames, using
// each header's own length field. Bytes that cannot start a frame (a bad
// header checksum, a length no request has, a bad data checksum) are skipped one at a time until
// a frame lines up again, and handed out as junk so they can be logged.

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
    SteadyTime firstByteAt{};  // when the first byte of the piece arrived
};

class FrameSplitter {
public:
    // Requests are short; a header announcing more than this is not one.
    static constexpr int kMaxRequestLength = 300;

    void Feed(const QByteArray& bytes, SteadyTime arrivedAt);
    // The next whole frame or run of junk, in line order; nullopt while the
    // bytes at hand are the start of a frame still arriving.
    std::optional<LinePiece> Next();
    // Gives up a partial frame whose bytes stopped arriving `gap` ago, as junk.
    std::optional<LinePiece> DropStale(SteadyTime now, std::chrono::milliseconds gap);
    bool Empty() const { return buffer_.isEmpty(); }

private:
    LinePiece Take(LinePiece::Kind kind, int count);

    QByteArray buffer_;
    std::vector<SteadyTime> arrival_;  // per byte of buffer_
    int junkLength_ = 0;               // leading bytes of buffer_ already judged junk
};

} // namespace zir::sim
