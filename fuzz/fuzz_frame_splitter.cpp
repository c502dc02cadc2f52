// libFuzzer target: the simulator's frame splitter, fed the input in pieces
// as the line delivers it. The first byte of each piece gives its size
// (1..64) and its delay; the line falls silent for good at the end.
//
// Checks: the pieces handed out are the bytes fed, in order, nothing lost or
// doubled; each frame is a whole accepted request of at most the longest
// request length; junk is never empty and hides no whole frame that could
// have been served; the time of a piece is that of its first byte; and how
// the bytes were cut into reads does not change the pieces.
#include <chrono>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "sim/FrameSplitter.h"

using namespace zir;
using namespace zir::fuzz;
using namespace zir::sim;
using namespace std::chrono_literals;

namespace {

constexpr std::chrono::milliseconds kGap = 1000ms;

struct Piece {
    LinePiece::Kind kind;
    QByteArray bytes;
    qsizetype offset; // of its first byte in the stream
};

// Feeds the stream in reads, drains the splitter after each, then lets the
// line fall silent so the rest comes out too.
std::vector<Piece> Split(const QByteArray& stream, const std::vector<qsizetype>& reads,
                         const std::vector<SteadyTime>& arrival) {
    FrameSplitter splitter;
    std::vector<Piece> pieces;
    qsizetype fed = 0, handedOut = 0;
    const auto take = [&](const LinePiece& p) {
        Require(!p.bytes.isEmpty(), "no empty piece");
        Require(p.firstByteAt == arrival[static_cast<std::size_t>(handedOut)], "a piece's time is its first byte's");
        pieces.push_back({p.kind, p.bytes, handedOut});
        handedOut += p.bytes.size();
    };
    for (const qsizetype count : reads) {
        splitter.Feed(stream.mid(fed, count), arrival[static_cast<std::size_t>(fed)]);
        fed += count;
        while (auto piece = splitter.Next()) take(*piece);
        // Silence shorter than the gap gives nothing up.
        Require(!splitter.DropStale(arrival[static_cast<std::size_t>(fed - 1)] + kGap - 1ms, kGap), "not stale yet");
    }
    const SteadyTime silent = arrival.empty() ? SteadyTime{} : arrival.back() + kGap;
    for (int round = 0; !splitter.Empty(); ++round) {
        Require(round <= stream.size(), "silence empties the splitter");
        if (auto piece = splitter.Next()) {
            take(*piece);
        } else {
            auto stale = splitter.DropStale(silent, kGap);
            Require(stale.has_value(), "bytes left are given up after the gap");
            take(*stale);
        }
    }
    Require(handedOut == stream.size(), "every byte handed out");
    return pieces;
}

bool IsRequestFrame(const QByteArray& bytes) {
    return bytes.size() <= FrameSplitter::kMaxRequestLength && ExpectedFrameLength(bytes) == bytes.size() &&
           ValidateFrame(bytes) == FrameVerdict::Accepted;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray input = Bytes(data, size);
    QByteArray stream;
    std::vector<qsizetype> reads;
    std::vector<SteadyTime> arrival;
    SteadyTime now{};
    for (qsizetype pos = 0; pos < input.size();) {
        const std::uint8_t control = ByteAt(input, pos++);
        const QByteArray read = input.mid(pos, 1 + (control & 0x3F));
        pos += read.size();
        if (read.isEmpty()) break;
        now += std::chrono::milliseconds(control >> 6 == 3 ? 400 : (control >> 6) * 5);
        stream += read;
        reads.push_back(read.size());
        arrival.insert(arrival.end(), static_cast<std::size_t>(read.size()), now);
    }

    const std::vector<Piece> pieces = Split(stream, reads, arrival);
    QByteArray joined;
    for (const Piece& p : pieces) {
        Require(p.bytes == stream.mid(p.offset, p.bytes.size()), "pieces in stream order");
        joined += p.bytes;
        if (p.kind == LinePiece::Kind::Frame) {
            Require(IsRequestFrame(p.bytes), "a frame is a whole accepted request",
                    QString::fromLatin1(p.bytes.toHex()));
            continue;
        }
        // No whole request starts inside junk: it would have been served.
        for (qsizetype i = 0; i < p.bytes.size(); ++i) {
            const std::optional<int> length = ExpectedFrameLength(stream.mid(p.offset + i, kFrameHeaderSize));
            if (length && p.offset + i + *length <= stream.size())
                Require(!IsRequestFrame(stream.mid(p.offset + i, *length)), "junk hides a whole request",
                        QString::fromLatin1(stream.mid(p.offset + i, *length).toHex()));
        }
    }
    Require(joined == stream, "the pieces are the stream");

    // All in one read, at the time of the last byte: the same pieces.
    if (!stream.isEmpty()) {
        const std::vector<SteadyTime> atOnce(static_cast<std::size_t>(stream.size()), arrival.back());
        const std::vector<Piece> whole = Split(stream, {stream.size()}, atOnce);
        Require(whole.size() == pieces.size(), "cutting into reads changes nothing");
        for (std::size_t i = 0; i < whole.size(); ++i)
            Require(whole[i].kind == pieces[i].kind && whole[i].bytes == pieces[i].bytes,
                    "cutting into reads changes nothing");
    }
    return 0;
}
