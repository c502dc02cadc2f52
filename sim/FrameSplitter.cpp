#include "sim/FrameSplitter.h"

#include "link/ZebusModTransport.h"

namespace zir::sim {

void FrameSplitter::Feed(const QByteArray& bytes, SteadyTime arrivedAt) {
    buffer_.append(bytes);
    arrival_.insert(arrival_.end(), static_cast<std::size_t>(bytes.size()), arrivedAt);
}

LinePiece FrameSplitter::Take(LinePiece::Kind kind, int count) {
    LinePiece piece{kind, buffer_.left(count), arrival_.front()};
    buffer_.remove(0, count);
    arrival_.erase(arrival_.begin(), arrival_.begin() + count);
    return piece;
}

std::optional<LinePiece> FrameSplitter::Next() { return Scan(false); }

std::optional<LinePiece> FrameSplitter::Scan(bool lineSilent) {
    while (buffer_.size() - junkLength_ >= kFrameHeaderSize) {
        const std::optional<int> length = ExpectedFrameLength(buffer_.sliced(junkLength_, kFrameHeaderSize));
        if (length && *length <= kMaxRequestLength) {
            if (junkLength_ > 0) {
                const int junk = junkLength_;
                junkLength_ = 0;
                return Take(LinePiece::Kind::Junk, junk);
            }
            if (buffer_.size() < *length) {
                // Still arriving, unless the line has gone silent: then the
                // header was a false one, and a whole frame may lie behind it.
                if (!lineSilent) return std::nullopt;
            } else if (ValidateFrame(buffer_.left(*length)) == FrameVerdict::Accepted) {
                return Take(LinePiece::Kind::Frame, *length);
            }
            // A frame cut short on the line has a good header but swallows
            // the start of the next frame; its data checksum then fails and
            // the search for a frame goes on from its second byte.
        }
        ++junkLength_;
    }
    if (lineSilent && !buffer_.isEmpty()) {
        junkLength_ = 0;
        return Take(LinePiece::Kind::Junk, static_cast<int>(buffer_.size()));
    }
    return std::nullopt;
}

std::optional<LinePiece> FrameSplitter::DropStale(SteadyTime now, std::chrono::milliseconds gap) {
    if (buffer_.isEmpty() || now - arrival_.back() < gap) return std::nullopt;
    return Scan(true);
}

} // namespace zir::sim
