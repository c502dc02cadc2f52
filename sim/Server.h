#pragma once
// The serving loop: reads the line, cuts frames, lets the instrument answer,
// applies the fault plan, and sends the reply at the pace of the line.

#include <chrono>
#include <functional>

#include "sim/Faults.h"
#include "sim/FrameLog.h"
#include "sim/FrameSplitter.h"
#include "sim/Instrument.h"

namespace zir::sim {

struct Pacing {
    bool enabled = true;
    int baud = 19200;
    int turnaroundMs = 2;

    // Time that `bytes` bytes take on the line at 10 bits a byte.
    std::chrono::nanoseconds WireTime(int bytes) const {
        return std::chrono::nanoseconds(static_cast<long long>(bytes) * 10'000'000'000LL / baud);
    }
    // When the reply to a request whose first byte arrived at `firstByteAt`
    // may start: after the request's own wire time and the turnaround.
    SteadyTime ReplyStart(SteadyTime firstByteAt, int requestBytes, SteadyTime now) const;
};

class Server {
public:
    // `stopFd` becomes readable when the simulator must end (a signalfd).
    Server(int lineFd, int stopFd, Instrument& instrument, FaultInjector& faults, FrameLog* log, Pacing pacing);

    // Asked for each request: false means the line is set to another rate
    // than the instrument's, so the request is dropped unanswered.
    void SetRateCheck(std::function<bool()> check) { rateCheck_ = std::move(check); }

    // Serves until the stop descriptor fires (returns normally) or the line
    // fails (throws std::runtime_error).
    void Run();

private:
    void Serve(const LinePiece& piece);
    bool Send(const QByteArray& bytes);
    // Waits until `deadline`; false when told to stop meanwhile.
    bool WaitUntil(SteadyTime deadline);
    void Log(const char* direction, const QByteArray& bytes);

    int lineFd_;
    int stopFd_;
    Instrument& instrument_;
    FaultInjector& faults_;
    FrameLog* log_;
    Pacing pacing_;
    FrameSplitter splitter_;
    std::function<bool()> rateCheck_;
    bool stopping_ = false;
};

} // namespace zir::sim
