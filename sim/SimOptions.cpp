#include "sim/SimOptions.h"

#include <QCommandLineParser>

#include "sim/SerialLine.h"

namespace zir::sim {
namespace {

const char* const kDescription = R"(zir-sim: a simulated ZIR instrument on a serial line.

It answers the tool's requests ("XT" clock, "XW" current values, <bank>R<ch>
dimension read, <bank>V bank header, <bank>dddd record) and acknowledges the
three writes (R dimension, T coefficients, W service parameters), which change
its state. Replies to reads go from the instrument's address to 1.1.1 with
frame kind 6 and control byte 0; a write is answered with the acknowledgement
frame (kind 1, control 0, no data). Frames for other addresses, with a bad
checksum or an unknown command are not answered; neither is a record request
for a minute above 1439 or a bank letter other than A..N.

With --pty (the default) it creates a pseudo-terminal and prints one line
"PTY <path>" on standard output, then serves until SIGTERM or SIGINT (or
SIGHUP), and saves its state when --save-state is given. With --device it
prints nothing. --link $XDG_CONFIG_HOME/zir/com1 lets the tool find the line as
COM-port 1.

Timing: a request is answered after its own wire time (10 bits a byte at the
baud rate, counted from its first byte) plus a turnaround of 2 ms, and the
reply's bytes are paced at the same rate. --no-pacing answers at once.
--speed-check makes it an instrument set to the --baud rate: a request sent
while the tool's side of the pseudo-terminal is set to another rate is not
made out and not answered (logged as DROP), as on a real line; --baud must
then be one of the standard rates 1200 to 115200.

Instrument clock: "now" follows the computer's clock; a fixed moment
"YYYY-MM-DD hh:mm" stands still (repeatable replies). Banks: 14 banks A..N;
the --active-banks banks ending at the current bank hold consecutive days
ending today (the instrument clock's date). With a running clock each new
day moves the instrument on to the next bank, which takes that day's date and
the unit texts in use (a state file saved days ago catches up when loaded).

Archive values: each channel follows a plausible day of a radiation monitor,
channel A about 0.12 (a dose rate), channel B about 18 (a count rate): a
background that drifts a little from day to day and over the day, the
counting noise of a one-minute measurement (uncertainty about 12 % on A and
6 % on B at background, smaller as the value rises, 1..30 %), and on about
four days in ten a rise of up to 30 times the background that climbs within
minutes and decays over hours, seen by both channels. About one day in seven
has an outage of 2..20 minutes whose records are empty (value 0, uncertainty 0
or 255). The values depend only on --seed, the bank's date and the minute, so
readings repeat and consecutive days join without a step. The minutes of the
bank in use after the instrument clock have not been measured yet: their
records are empty (value 0, uncertainty 255); the clock's own minute is
measured. "XW" gives the measurement of the clock's minute (also during an
outage). The other banks are erased: their header carries the date bytes
00 00 00 and their records are empty (value 0, uncertainty 255).

A dimension write changes the unit text of the channel in the current bank; a
dimension read with a selector that is no bank letter (0x01) gets the current
bank's text. A service parameter write keeps the bus address (the net number
is a setting of its own).

Faults (--fault) apply to the commands named by --fault-command (default all):
  silent        never answer
  short         send only the first 8 bytes of the reply
  bad-header    spoil the header checksum
  bad-data      spoil the data checksum (the header's for a frame without data)
  trailing      send 3 extra bytes (00 55 AA) after the frame
  wrong-length  a valid frame of another length: header only (14 bytes) for a
                read, a frame with one data byte for a write
--fault-command takes XT, XW, R (dimension read), V (bank header), REC
(record), WRITE (all writes), WRITE-R, WRITE-T, WRITE-W, or a comma list.
--answer-from N keeps silent to the first N-1 matching requests; --fault-count
N spoils only N replies and then answers well; --delay adds a wait before each
matching reply.

--log FILE writes one line per frame: "<ISO time> RX|TX <hex bytes>"; bytes
that form no frame are logged as "DROP". A header whose frame has not come whole
after 1 s of silence on the line is given up byte by byte, so that a whole
request behind a false header is still answered.

The state file (--state, --save-state) is JSON: address, clock {fixed,
offsetSeconds}, currentBank, seed, 14 banks {active, date, optional
headerBytes "dd mm yy", dimensions [2 x 8 hex bytes in the instrument's
character set]}, coefficients [2 x {k, m, threshold} as hexadecimal value
codes], service {serialNumber, netNumber, rateIndex, chargeParameter}.
Options given beside --state override what the file says.)";

std::optional<int> IntValue(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high) return std::nullopt;
    return value;
}

} // namespace

ParsedCommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Show this help."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version."));
    const QCommandLineOption pty(QStringLiteral("pty"), QStringLiteral("Create a pseudo-terminal (default)."));
    const QCommandLineOption device(QStringLiteral("device"), QStringLiteral("Serve on this tty instead."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption link(
        QStringLiteral("link"),
        QStringLiteral("Also make a symlink at PATH to the line (e.g. $XDG_CONFIG_HOME/zir/com1); removed at exit."),
        QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Line speed for pacing (default 19200)."),
                                  QStringLiteral("N"));
    const QCommandLineOption speedCheck(QStringLiteral("speed-check"),
                                        QStringLiteral("Answer only requests sent at the --baud rate."));
    const QCommandLineOption noPacing(QStringLiteral("no-pacing"), QStringLiteral("Answer at once, bytes unpaced."));
    const QCommandLineOption turnaround(QStringLiteral("turnaround"),
                                        QStringLiteral("Turnaround before a reply (default 2)."), QStringLiteral("MS"));
    const QCommandLineOption address(QStringLiteral("address"),
                                     QStringLiteral("Instrument address (default 255.255.255)."),
                                     QStringLiteral("A.B.C"));
    const QCommandLineOption clock(QStringLiteral("clock"),
                                   QStringLiteral("now (default) or a fixed \"YYYY-MM-DD hh:mm\"."),
                                   QStringLiteral("WHEN"));
    const QCommandLineOption currentBank(QStringLiteral("current-bank"),
                                         QStringLiteral("Bank in use, 0..13 (default 3)."), QStringLiteral("N"));
    const QCommandLineOption activeBanks(QStringLiteral("active-banks"),
                                         QStringLiteral("Banks holding data, 0..14 (default 7)."), QStringLiteral("N"));
    const QCommandLineOption state(
        QStringLiteral("state"), QStringLiteral("Load the instrument state from a JSON file."), QStringLiteral("FILE"));
    const QCommandLineOption saveState(QStringLiteral("save-state"),
                                       QStringLiteral("Save the state to this file at exit."), QStringLiteral("FILE"));
    const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Log every frame received and sent."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the simulated days: background, noise, rises (default 1)."),
                                  QStringLiteral("N"));
    const QCommandLineOption fault(QStringLiteral("fault"),
                                   QStringLiteral("silent|short|bad-header|bad-data|trailing|wrong-length."),
                                   QStringLiteral("KIND"));
    const QCommandLineOption faultCommand(QStringLiteral("fault-command"),
                                          QStringLiteral("Commands the faults apply to."), QStringLiteral("CMD"));
    const QCommandLineOption answerFrom(
        QStringLiteral("answer-from"), QStringLiteral("Answer from the Nth matching request on."), QStringLiteral("N"));
    const QCommandLineOption faultCount(QStringLiteral("fault-count"),
                                        QStringLiteral("Spoil only the first N replies."), QStringLiteral("N"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Wait before answering a matching request."),
                                   QStringLiteral("MS"));
    const QCommandLineOption clockBytes(
        QStringLiteral("clock-bytes"),
        QStringLiteral("Fixed XT bytes: minute hour day month year bank-letter, hex (\"30 14 25 12 07 43\")."),
        QStringLiteral("HEX"));
    const QCommandLineOption xwBytes(QStringLiteral("xw-bytes"),
                                     QStringLiteral("Fixed 9 data bytes of the XW reply, hex."), QStringLiteral("HEX"));
    for (const auto* o :
         {&help,       &version, &pty,          &device,      &link,        &baud,  &speedCheck, &noPacing,
          &turnaround, &address, &clock,        &currentBank, &activeBanks, &state, &saveState,  &log,
          &seed,       &fault,   &faultCommand, &answerFrom,  &faultCount,  &delay, &clockBytes, &xwBytes})
        parser.addOption(*o);

    ParsedCommandLine result;
    result.helpText = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("zir-sim"));
    if (!parser.parse(arguments)) {
        result.error = parser.errorText();
        return result;
    }
    if (parser.isSet(help)) return result;
    if (parser.isSet(version)) {
        result.versionAsked = true;
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.error = QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first());
        return result;
    }

    SimOptions o;
    auto fail = [&result](const QString& text) {
        result.error = text;
        return result;
    };
    // Reads a whole-number option into target when it is given; false (with
    // the message as the error) when it is no number in low..high.
    auto readInt = [&](const QCommandLineOption& option, int low, int high, auto& target, const char* message) {
        if (!parser.isSet(option)) return true;
        const std::optional<int> value = IntValue(parser.value(option), low, high);
        if (!value) {
            result.error = QString::fromUtf8(message);
            return false;
        }
        target = *value;
        return true;
    };

    if (parser.isSet(device) && parser.isSet(pty)) return fail(QStringLiteral("--pty and --device exclude each other"));
    o.devicePath = parser.value(device);
    o.linkPath = parser.value(link);
    if (!readInt(baud, 50, 4000000, o.baud, "--baud needs a rate from 50 to 4000000")) return result;
    o.pacing = !parser.isSet(noPacing);
    o.speedCheck = parser.isSet(speedCheck);
    if (o.speedCheck && !IsStandardRate(o.baud))
        return fail(QStringLiteral("--speed-check needs a standard --baud rate from 1200 to 115200"));
    if (!readInt(turnaround, 0, 10000, o.turnaroundMs, "--turnaround needs milliseconds from 0 to 10000"))
        return result;
    if (parser.isSet(address)) {
        try {
            ParseBusAddress(parser.value(address));
        } catch (const EZirError&) {
            return fail(QStringLiteral("--address needs an address xxx.yyy.zzz"));
        }
        o.address = parser.value(address);
    }
    if (parser.isSet(clock)) {
        o.clockGiven = true;
        const QString when = parser.value(clock).trimmed();
        if (when != QLatin1String("now")) {
            const QDateTime fixed = QDateTime::fromString(when, QStringLiteral("yyyy-MM-dd HH:mm"));
            if (!fixed.isValid()) return fail(QStringLiteral("--clock needs now or \"YYYY-MM-DD hh:mm\""));
            o.fixedClock = fixed;
        }
    }
    if (!readInt(currentBank, 0, kBankCount - 1, o.currentBank, "--current-bank needs a bank from 0 to 13") ||
        !readInt(activeBanks, 0, kBankCount, o.activeBanks, "--active-banks needs a count from 0 to 14"))
        return result;
    o.stateFile = parser.value(state);
    o.saveStateFile = parser.value(saveState);
    o.logFile = parser.value(log);
    if (parser.isSet(seed)) {
        bool ok = false;
        const uint v = parser.value(seed).toUInt(&ok);
        if (!ok) return fail(QStringLiteral("--seed needs a whole number"));
        o.seed = v;
    }
    if (parser.isSet(fault)) {
        const auto kind = ParseFaultKind(parser.value(fault));
        if (!kind)
            return fail(QStringLiteral("--fault needs silent, short, bad-header, bad-data, trailing or wrong-length"));
        o.faults.kind = *kind;
    }
    if (parser.isSet(faultCommand)) {
        const auto groups = ParseCommandGroups(parser.value(faultCommand));
        if (!groups)
            return fail(QStringLiteral("--fault-command needs XT, XW, R, V, REC, WRITE, WRITE-R, WRITE-T or WRITE-W"));
        o.faults.commands = *groups;
    }
    if (!readInt(answerFrom, 1, 1000000, o.faults.answerFrom, "--answer-from needs a count from 1") ||
        !readInt(faultCount, 0, 1000000, o.faults.faultCount, "--fault-count needs a count from 0") ||
        !readInt(delay, 0, 600000, o.faults.delayMs, "--delay needs milliseconds from 0 to 600000"))
        return result;
    if (parser.isSet(clockBytes)) {
        o.clockBytes = ParseHexBytes(parser.value(clockBytes));
        if (!o.clockBytes || o.clockBytes->size() != 6)
            return fail(QStringLiteral("--clock-bytes needs 6 hexadecimal bytes"));
    }
    if (parser.isSet(xwBytes)) {
        o.xwBytes = ParseHexBytes(parser.value(xwBytes));
        if (!o.xwBytes || o.xwBytes->size() != 9) return fail(QStringLiteral("--xw-bytes needs 9 hexadecimal bytes"));
    }
    result.options = o;
    return result;
}

InstrumentState InitialState(const SimOptions& options, const QDateTime& computerNow) {
    InstrumentClock clock;
    clock.fixedMoment = options.fixedClock;
    const QDate today = clock.Now(computerNow).date();
    InstrumentState state = DefaultState(today, options.currentBank.value_or(kDefaultCurrentBank),
                                         options.activeBanks.value_or(kDefaultActiveBanks));
    state.clock = clock;
    if (!options.stateFile.isEmpty()) {
        state = LoadStateFile(options.stateFile, state);
        if (options.clockGiven) state.clock = clock;
        if (options.currentBank) state.currentBank = *options.currentBank;
        if (options.activeBanks) AssignBankDates(state, state.clock.Now(computerNow).date(), *options.activeBanks);
    }
    if (options.address) state.address = ParseBusAddress(*options.address);
    if (options.seed) state.seed = *options.seed;
    return state;
}

} // namespace zir::sim
