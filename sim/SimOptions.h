#pragma once
// The simulator's command line and the instrument state it starts with.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <optional>

#include "sim/Faults.h"
#include "sim/InstrumentState.h"

namespace zir::sim {

inline constexpr int kDefaultBaud = 19200;
inline constexpr int kDefaultTurnaroundMs = 2;

struct SimOptions {
    QString devicePath; // empty: create a pseudo-terminal
    QString linkPath;   // symlink to the line, made at start, removed at exit
    int baud = kDefaultBaud;
    bool pacing = true;
    bool speedCheck = false; // ignore requests sent at another rate than `baud`
    int turnaroundMs = kDefaultTurnaroundMs;
    std::optional<QString> address;
    bool clockGiven = false;
    std::optional<QDateTime> fixedClock; // clockGiven without it: the computer's time
    std::optional<int> currentBank;
    std::optional<int> activeBanks;
    QString stateFile;
    QString saveStateFile;
    QString logFile;
    std::optional<std::uint32_t> seed;
    FaultPlan faults;
    std::optional<QByteArray> clockBytes; // 6 bytes
    std::optional<QByteArray> xwBytes;    // 9 bytes
};

struct ParsedCommandLine {
    std::optional<SimOptions> options; // nullopt: help or version asked for, or an error
    QString error;                     // non-empty on a bad command line
    QString helpText;                  // always filled
    bool versionAsked = false;         // --version: print the version instead of the help
};

ParsedCommandLine ParseCommandLine(const QStringList& arguments);

// The state described by the options: the state file (if any) over the
// factory state, then the explicit options over both. Throws
// std::runtime_error when the state file cannot be used.
InstrumentState InitialState(const SimOptions& options, const QDateTime& computerNow);

} // namespace zir::sim
