#pragma once
// An instrument played inside the test process on the master side of a
// pseudo-terminal: it cuts request frames off the line by their own length
// and answers each one as the test's script says.

#include <QByteArray>
#include <QList>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>

#include "link/ZebusModTransport.h"
#include "link/PtyPair.h"

namespace zir::test {

class PtyInstrument {
public:
    struct Answer {
        QByteArray bytes;
        int delayMs = 5;
    };
    // Given the request's number (from 1) and bytes; the answers are sent in turn.
    using Script = std::function<QList<Answer>(int number, const QByteArray& frame)>;

    explicit PtyInstrument(Script script) : script_(std::move(script)), thread_([this] { Run(); }) {}
    ~PtyInstrument()
    {
        stop_ = true;
        thread_.join();
    }

    QString Path() const { return pty_.SlavePath(); }
    QList<QByteArray> Received() const
    {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    void Run()
    {
        QByteArray line;
        while (!stop_) {
            line += pty_.ReadUntilQuiet(10);
            for (;;) {
                // Resynchronise on garbage: drop bytes until a header checks out.
                while (line.size() >= kFrameHeaderSize && !ExpectedFrameLength(line)) line.remove(0, 1);
                const auto length = ExpectedFrameLength(line);
                if (!length || line.size() < *length) break;
                const QByteArray frame = line.left(*length);
                line.remove(0, *length);
                int number = 0;
                {
                    std::lock_guard lock(mutex_);
                    received_.append(frame);
                    number = static_cast<int>(received_.size());
                }
                for (const Answer& a : script_(number, frame)) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(a.delayMs));
                    pty_.Write(a.bytes);
                }
            }
        }
    }

    PtyPair pty_;
    Script script_;
    mutable std::mutex mutex_;
    QList<QByteArray> received_;
    std::atomic<bool> stop_ = false;
    std::thread thread_;
};

} // namespace zir::test
