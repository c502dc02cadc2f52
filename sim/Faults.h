#pragma once
// Misbehaviour on request: the simulator can stay silent, answer late, answer
// only from the Nth request, or spoil its replies in the ways a noisy line or
// a confused instrument would. The tool's exchange must absorb all of them.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <set>

#include "sim/Instrument.h"

namespace zir::sim {

enum class FaultKind {
    None,
    Silent,      // never answer
    Short,       // send only the first 8 bytes of the reply
    BadHeader,   // spoil the header checksum
    BadData,     // spoil the data checksum (the header checksum when there is no data)
    Trailing,    // send extra bytes after the frame
    WrongLength, // a valid frame of another length than the command's reply
};

std::optional<FaultKind> ParseFaultKind(const QString& name);

// Names that --fault-command accepts: XT, XW, R (dimension read), V (bank
// header), REC (record), WRITE (the three writes), and the single writes
// WRITE-R (dimension), WRITE-T (coefficients), WRITE-W (service parameters).
enum class CommandGroup { XT, XW, R, V, REC, WriteR, WriteT, WriteW };
// Parses one name or a comma-separated list; nullopt on an unknown name.
std::optional<std::set<CommandGroup>> ParseCommandGroups(const QString& names);
std::optional<CommandGroup> GroupOf(Command command);

struct FaultPlan {
    FaultKind kind = FaultKind::None;
    std::set<CommandGroup> commands; // empty: every command
    int answerFrom = 1;              // silent to the first answerFrom-1 matching requests
    int faultCount = -1;             // spoil only this many replies, then answer well; -1: all
    int delayMs = 0;                 // extra wait before a matching reply
};

struct Outcome {
    std::optional<QByteArray> bytes; // nullopt: send nothing
    int delayMs = 0;
};

class FaultInjector {
public:
    explicit FaultInjector(FaultPlan plan) : plan_(std::move(plan)) {}

    // What actually goes on the line for a request that `instrument`
    // answered with `answer`. Requests the plan does not cover pass unchanged.
    Outcome Apply(const Answer& answer, const Instrument& instrument);

    const FaultPlan& Plan() const { return plan_; }

private:
    bool Covers(Command command) const;

    FaultPlan plan_;
    int matchedRequests_ = 0;
    int spoiledReplies_ = 0;
};

// The reply spoiled in the way `kind` says (Silent gives nullopt).
std::optional<QByteArray> Spoil(FaultKind kind, const QByteArray& reply, Command command, const Instrument& instrument);

} // namespace zir::sim
