#pragma once
// A scripted in-memory byte channel on the virtual clock, so the exchange's
// schedule runs in tests without waiting. Bytes are fed to arrive at a given
// virtual time; a read advances the clock to the next arrival or to the end
// of its silence timeout, exactly as the serial port would wait.

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>

#include "link/ByteChannel.h"
#include "support/VirtualClock.h"

namespace zir::test {

class FakeByteChannel final : public IByteChannel {
public:
    explicit FakeByteChannel(VirtualClock& clock) : clock_(clock) {}

    // --- script
    // Bytes that arrive together at virtual time atMs.
    void Feed(const QByteArray& bytes, std::int64_t atMs) {
        const auto at = std::upper_bound(pending_.begin(), pending_.end(), atMs,
                                         [](std::int64_t t, const Chunk& c) { return t < c.atMs; });
        pending_.insert(at, Chunk{bytes, atMs});
    }
    void FeedAfter(const QByteArray& bytes, std::int64_t delayMs) { Feed(bytes, clock_.now + delayMs); }
    // Called after each frame sent, with its number counted from 1.
    std::function<void(int number, const QByteArray& frame)> onSend;
    // Called when an open has succeeded (after it has discarded what was pending).
    std::function<void()> onOpen;
    // Open fails with this text.
    std::optional<QString> openFailure;
    // From this virtual time on the device reports itself gone.
    std::optional<std::int64_t> goneAtMs;
    int inputTimeoutMs = 500;

    // --- what happened
    QList<QByteArray> sent;
    QList<std::int64_t> sentAtMs;
    int opens = 0;
    int closes = 0;
    int discards = 0;
    QList<QByteArray> discarded; // what each DiscardInput dropped
    int portNumber = -1;
    std::uint32_t baud = 0;

    // --- IByteChannel
    void SetPortNumber(int n) override {
        if (!open_) portNumber = n;
    }
    void SetBaudRateValue(std::uint32_t value) override {
        baud = value;
        if (open_) pending_.clear();
    }
    bool Open() override {
        if (open_) return true;
        if (openFailure) {
            lastError_ = *openFailure;
            return false;
        }
        ++opens;
        open_ = true;
        gone_ = false;
        lastError_.clear();
        DropArrived(); // opening discards what was pending
        if (onOpen) onOpen();
        return true;
    }
    void Close() override {
        if (!open_) return;
        ++closes;
        open_ = false;
    }
    bool IsOpen() const override { return open_; }
    QString LastError() const override { return lastError_; }
    bool DeviceGone() const override { return gone_; }

    void DiscardInput() override {
        if (!open_) return;
        ++discards;
        QByteArray dropped;
        while (!pending_.isEmpty() && pending_.front().atMs <= clock_.now) dropped += pending_.takeFirst().bytes;
        discarded.append(dropped);
    }

    bool SendText(const QByteArray& bytes) override {
        if (!open_ || CheckGone()) return false;
        sent.append(bytes);
        sentAtMs.append(clock_.now);
        if (onSend) onSend(static_cast<int>(sent.size()), bytes);
        return true;
    }

    QByteArray ReadBytes(int count, const CompletePredicate& complete = {}) override {
        QByteArray received;
        if (!open_) return received;
        std::int64_t lastByte = clock_.now;
        while (received.size() < count) {
            if (CheckGone()) return received;
            bool got = false;
            while (!pending_.isEmpty() && pending_.front().atMs <= clock_.now && received.size() < count) {
                Chunk& chunk = pending_.front();
                const qsizetype take = std::min<qsizetype>(count - received.size(), chunk.bytes.size());
                received.append(chunk.bytes.left(take));
                chunk.bytes.remove(0, take);
                if (chunk.bytes.isEmpty()) pending_.removeFirst();
                got = true;
            }
            if (got) {
                lastByte = clock_.now;
                if (complete && complete(received)) return received;
                continue;
            }
            const std::int64_t silenceEnd = lastByte + inputTimeoutMs + 1;
            std::int64_t next = silenceEnd;
            if (!pending_.isEmpty()) next = std::min(next, pending_.front().atMs);
            if (goneAtMs) next = std::min(next, std::max(*goneAtMs, clock_.now));
            clock_.now = std::max(clock_.now, next);
            if (clock_.now >= silenceEnd && (pending_.isEmpty() || pending_.front().atMs > clock_.now)) return received;
        }
        return received;
    }

private:
    struct Chunk {
        QByteArray bytes;
        std::int64_t atMs;
    };

    bool CheckGone() {
        if (goneAtMs && clock_.now >= *goneAtMs) {
            gone_ = true;
            lastError_ = QStringLiteral("/dev/fake: the device has gone");
        }
        return gone_;
    }
    void DropArrived() {
        while (!pending_.isEmpty() && pending_.front().atMs <= clock_.now) pending_.removeFirst();
    }

    VirtualClock& clock_;
    QList<Chunk> pending_;
    bool open_ = false;
    bool gone_ = false;
    QString lastError_;
};

} // namespace zir::test
