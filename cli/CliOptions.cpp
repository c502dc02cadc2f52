#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <algorithm>
#include <array>
#include <limits>

#include "core/NumberText.h"
#include "core/Version.h"
#include "device/Dimension.h"
#include "link/PortNaming.h"
#include "link/ZebusModTransport.h"

namespace zir::cli {

namespace {

const char kHelp[] = R"(Usage: zir-cli [OPTIONS] COMMAND [ARGUMENTS]

Talks to a ZIR instrument on a serial port without a window, with the same
operations as the window of zir: reads its clock, current values and archive,
writes its unit texts, coefficients and service parameters. Data go to
standard output (CSV: RFC 4180, UTF-8, a header line, "." decimals, ISO 8601
local times); messages go to standard error, one line each.

Commands:
  time                 instrument time and the index of the bank in use, one
                       line: 2007-12-25T14:30<TAB>2
  current              current values: channel,value,unit,uncertainty
  banks                the active banks, oldest first: bank,date
  read BANK|current    the records of bank BANK (0 to 13) or of the bank in
                       use, one row per answered minute:
                       time,index,bank,value_a,unit_a,uncertainty_a,
                       value_b,unit_b,uncertainty_b
  read-all             every listed bank, oldest first, the same CSV
  write-dimension CHANNEL TEXT
                       the unit text of a channel (its first 8 characters,
                       padded with blanks)
  write-coefficients CHANNEL K M THRESHOLD
                       factor K, factor M and the threshold of a channel
  write-parameters SN NN CHARGE RATE
                       serial number (0-65535), net number (0-255), charge
                       parameter (0-6) and exchange rate index (0-4)
  export               the history's archive records as CSV, oldest first:
                       time,address,bank,value_a,unit_a,uncertainty_a,
                       value_b,unit_b,uncertainty_b
  import FILE...       Archive.txt files into the history, with the counts
CHANNEL is A or B (or 1 or 2). Numbers use "." and may carry an exponent
(1E-5). A write ends with 0 only when the instrument acknowledges it. Put --
before an argument that begins with "-".

Options:
  --port N          COM-port N (1 to 256, default 1): $XDG_CONFIG_HOME/zir/com<N>
                    when that name exists, otherwise /dev/ttyS<N-1>
  --device PATH     the serial device itself, instead of --port
  --baud N          19200 (default), 9600, 4800, 2400 or 1200
  --address A.B.C   the instrument's address (default 255.255.255)
  --trace           every frame sent, every read and the end of each request
                    on standard error, one line each, as the line monitor
                    shows them: time, TX, RX or END, attempt, length,
                    verdict, hex and text
  --quiet           no progress display
  --no-history      current, read, read-all: leave the readings out of the
                    history (by default each one goes into it)
  -h, --help        this help
  -v, --version     the version
Options of read and read-all:
  --from HH:MM      only the minutes from HH:MM on
  --to HH:MM        only the minutes up to HH:MM
  --no-empty        leave out minutes whose values are 0 with uncertainty 0
                    or 255
  --archive-txt     also append each bank to Archive.txt, as the window does
  --xlsx DIR        also write a new workbook per bank into DIR
Options of export:
  --from DATE       only the records from the day DATE (YYYY-MM-DD) on
  --to DATE         only the records up to the day DATE, included
  --address A.B.C   only the records of this instrument (default: every one)

Exit status:
  0    done
  1    the instrument did not answer (read: no record answered)
  2    bad usage: an unknown option, or an address, time or value that the
       window would refuse
  3    the serial port cannot be opened or was lost
  4    a file or the history could not be written (or the history read);
       what was read has still been printed
  130  interrupted by SIGINT or SIGTERM: the reading ends between two
       requests, and what was read stays in every output

Progress (records done, total, percentage, rate, time left) shows on standard
error when it is a terminal, unless --quiet or --trace is given. After a
reading, "N of M minutes read" follows there: always when a minute did not
answer (it is left out of the output), otherwise beside the progress only.
Archive.txt is written where the window writes it: the program's folder when
it is writable, otherwise $XDG_DATA_HOME/zir/ (default ~/.local/share/zir/).
The history, shared with the window, is $XDG_DATA_HOME/zir/history.sqlite.

See zir-cli(1) for more, with examples for unattended use.
)";

struct CommandSpec {
    const char* name;
    Command command;
    int minArguments;
    int maxArguments;
    const char* usage;
};

constexpr std::array kCommands{
    CommandSpec{"time", Command::Time, 0, 0, "time"},
    CommandSpec{"current", Command::Current, 0, 0, "current"},
    CommandSpec{"banks", Command::Banks, 0, 0, "banks"},
    CommandSpec{"read", Command::Read, 1, 1, "read BANK|current"},
    CommandSpec{"read-all", Command::ReadAll, 0, 0, "read-all"},
    CommandSpec{"write-dimension", Command::WriteDimension, 2, 2, "write-dimension CHANNEL TEXT"},
    CommandSpec{"write-coefficients", Command::WriteCoefficients, 4, 4, "write-coefficients CHANNEL K M THRESHOLD"},
    CommandSpec{"write-parameters", Command::WriteParameters, 4, 4, "write-parameters SN NN CHARGE RATE"},
    CommandSpec{"export", Command::Export, 0, 0, "export [--from DATE] [--to DATE] [--address A.B.C]"},
    CommandSpec{"import", Command::Import, 1, std::numeric_limits<int>::max(), "import FILE..."},
};

constexpr std::array kBaudRates{19200, 9600, 4800, 2400, 1200};
constexpr int kLastBank = 13;

bool Reads(Command command) { return command == Command::Read || command == Command::ReadAll; }
bool Records(Command command) { return Reads(command) || command == Command::Current; }

// Thrown for a command line that cannot be run; ends the parse with exit 2.
struct UsageError {
    QString text;
};

[[noreturn]] void Refuse(const QString& text) { throw UsageError{text}; }

int WholeNumber(const QString& text, int low, int high, const QString& what) {
    const std::optional<int> value = TryStrToInt(text);
    if (!value || *value < low || *value > high)
        Refuse(
            QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'").arg(what).arg(low).arg(high).arg(text));
    return *value;
}

Channel ChannelArgument(const QString& text) {
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("A") || t == QLatin1String("1")) return Channel::A;
    if (t == QLatin1String("B") || t == QLatin1String("2")) return Channel::B;
    Refuse(QStringLiteral("CHANNEL must be A or B (or 1 or 2), not '%1'").arg(text));
}

// "h:mm" or "hh:mm", a time of the day, as minutes after midnight.
int TimeOfDay(const QString& text, const QString& option) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,2}):([0-9]{2})$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    const int hours = match.hasMatch() ? match.captured(1).toInt() : -1;
    const int minutes = match.hasMatch() ? match.captured(2).toInt() : -1;
    if (hours < 0 || hours > 23 || minutes < 0 || minutes > 59)
        Refuse(QStringLiteral("%1 needs a time of day HH:MM from 00:00 to 23:59, not '%2'").arg(option, text));
    return hours * 60 + minutes;
}

QString ClockText(int minute) {
    return QStringLiteral("%1:%2").arg(minute / 60, 2, 10, QLatin1Char('0')).arg(minute % 60, 2, 10, QLatin1Char('0'));
}

// An option given beside a command it does not apply to.
void Only(const QCommandLineParser& parser, const QCommandLineOption& option, bool applies, const char* commands) {
    if (parser.isSet(option) && !applies)
        Refuse(QStringLiteral("--%1 applies to %2 only").arg(option.names().constLast(), QLatin1String(commands)));
}

// "YYYY-MM-DD".
QDate Day(const QString& text, const QString& option) {
    const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid()) Refuse(QStringLiteral("%1 needs a date YYYY-MM-DD, not '%2'").arg(option, text));
    return date;
}

// Every option zir-cli knows; the texts of --help are written out in kHelp.
struct KnownOptions {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}, QString()};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")}, QString()};
    QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("N")};
    QCommandLineOption device{QStringLiteral("device"), QString(), QStringLiteral("PATH")};
    QCommandLineOption baud{QStringLiteral("baud"), QString(), QStringLiteral("N")};
    QCommandLineOption address{QStringLiteral("address"), QString(), QStringLiteral("A.B.C")};
    QCommandLineOption quiet{QStringLiteral("quiet"), QString()};
    QCommandLineOption trace{QStringLiteral("trace"), QString()};
    QCommandLineOption from{QStringLiteral("from"), QString(), QStringLiteral("HH:MM")};
    QCommandLineOption to{QStringLiteral("to"), QString(), QStringLiteral("HH:MM")};
    QCommandLineOption noEmpty{QStringLiteral("no-empty"), QString()};
    QCommandLineOption archiveTxt{QStringLiteral("archive-txt"), QString()};
    QCommandLineOption xlsx{QStringLiteral("xlsx"), QString(), QStringLiteral("DIR")};
    QCommandLineOption noHistory{QStringLiteral("no-history"), QString()};

    void AddTo(QCommandLineParser& parser) const {
        for (const QCommandLineOption* o : {&help, &version, &port, &device, &baud, &address, &quiet, &trace, &from,
                                            &to, &noEmpty, &archiveTxt, &xlsx, &noHistory})
            parser.addOption(*o);
    }
};

CliOptions Interpret(const QCommandLineParser& parser, const KnownOptions& k) {
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) Refuse(QStringLiteral("a command is missing"));
    const auto command = std::find_if(kCommands.begin(), kCommands.end(), [&](const CommandSpec& c) {
        return positional.first() == QLatin1String(c.name);
    });
    if (command == kCommands.end()) Refuse(QStringLiteral("unknown command '%1'").arg(positional.first()));
    const QStringList args = positional.mid(1);
    if (args.size() < command->minArguments || args.size() > command->maxArguments)
        Refuse(QStringLiteral("usage: zir-cli [OPTIONS] %1").arg(QLatin1String(command->usage)));

    CliOptions o;
    o.command = command->command;
    if (parser.isSet(k.port) && parser.isSet(k.device))
        Refuse(QStringLiteral("--port and --device exclude each other"));
    if (parser.isSet(k.port))
        o.port = WholeNumber(parser.value(k.port), kMinPortNumber, kMaxPortNumber, QStringLiteral("--port"));
    if (parser.isSet(k.device)) {
        o.devicePath = parser.value(k.device);
        if (o.devicePath.isEmpty()) Refuse(QStringLiteral("--device needs a path"));
    }
    if (parser.isSet(k.baud)) {
        o.baud = TryStrToInt(parser.value(k.baud)).value_or(0);
        if (std::find(kBaudRates.begin(), kBaudRates.end(), o.baud) == kBaudRates.end())
            Refuse(
                QStringLiteral("--baud must be 19200, 9600, 4800, 2400 or 1200, not '%1'").arg(parser.value(k.baud)));
    }
    o.addressGiven = parser.isSet(k.address);
    if (o.addressGiven) o.address = parser.value(k.address);
    try {
        ParseBusAddress(o.address);
    } catch (const EFormatError& e) {
        Refuse(QStringLiteral("%1: '%2'").arg(e.message(), o.address));
    }
    o.quiet = parser.isSet(k.quiet);
    o.trace = parser.isSet(k.trace);

    const bool exports = o.command == Command::Export;
    for (const QCommandLineOption* option : {&k.from, &k.to})
        Only(parser, *option, Reads(o.command) || exports, "read, read-all and export");
    for (const QCommandLineOption* option : {&k.noEmpty, &k.archiveTxt, &k.xlsx})
        Only(parser, *option, Reads(o.command), "read and read-all");
    Only(parser, k.noHistory, Records(o.command), "current, read and read-all");
    o.noHistory = parser.isSet(k.noHistory);
    if (exports) {
        if (parser.isSet(k.from)) o.fromDate = Day(parser.value(k.from), QStringLiteral("--from"));
        if (parser.isSet(k.to)) o.toDate = Day(parser.value(k.to), QStringLiteral("--to"));
        if (o.fromDate.isValid() && o.toDate.isValid() && o.fromDate > o.toDate)
            Refuse(QStringLiteral("--from %1 is later than --to %2")
                       .arg(o.fromDate.toString(Qt::ISODate), o.toDate.toString(Qt::ISODate)));
    } else {
        if (parser.isSet(k.from)) o.from = TimeOfDay(parser.value(k.from), QStringLiteral("--from"));
        if (parser.isSet(k.to)) o.to = TimeOfDay(parser.value(k.to), QStringLiteral("--to"));
        if (o.from && o.to && *o.from > *o.to)
            Refuse(QStringLiteral("--from %1 is later than --to %2").arg(ClockText(*o.from), ClockText(*o.to)));
    }
    o.noEmpty = parser.isSet(k.noEmpty);
    o.archiveTxt = parser.isSet(k.archiveTxt);
    if (parser.isSet(k.xlsx)) {
        o.xlsxDir = parser.value(k.xlsx);
        if (o.xlsxDir.isEmpty()) Refuse(QStringLiteral("--xlsx needs a folder"));
    }

    switch (o.command) {
    case Command::Read:
        if (args[0] != QLatin1String("current")) o.bank = WholeNumber(args[0], 0, kLastBank, QStringLiteral("BANK"));
        break;
    case Command::WriteDimension:
        o.channel = ChannelArgument(args[0]);
        o.dimensionText = args[1];
        try {
            DimensionWriteData(o.dimensionText, o.channel);
        } catch (const EConvertError& e) {
            Refuse(QStringLiteral("TEXT: %1").arg(e.message()));
        }
        break;
    case Command::WriteCoefficients:
        o.channel = ChannelArgument(args[0]);
        try {
            o.coefficients = CoefficientsOfTexts(args[1], args[2], args[3]);
        } catch (const EConvertError& e) {
            Refuse(e.message());
        }
        break;
    case Command::WriteParameters:
        // The ranges of the window's spin fields, in the order of the fields.
        o.parameters.serialNumber = WholeNumber(args[0], 0, 65535, QStringLiteral("SN"));
        o.parameters.netNumber = WholeNumber(args[1], 0, 255, QStringLiteral("NN"));
        o.parameters.chargeParameter = WholeNumber(args[2], 0, 6, QStringLiteral("CHARGE"));
        o.parameters.rateIndex = WholeNumber(args[3], 0, 4, QStringLiteral("RATE"));
        break;
    case Command::Import: o.files = args; break;
    case Command::Time:
    case Command::Current:
    case Command::Banks:
    case Command::ReadAll:
    case Command::Export: break;
    }
    return o;
}

} // namespace

QString HelpText() { return QString::fromUtf8(kHelp); }

ParsedArguments ParseArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    const KnownOptions known;
    known.AddTo(parser);

    ParsedArguments result;
    if (!parser.parse(arguments)) {
        result.exitStatus = kExitUsage;
        result.error = parser.errorText();
        if (result.error.endsWith(u'.')) result.error.chop(1);
        return result;
    }
    if (parser.isSet(known.help)) {
        result.output = HelpText();
        return result;
    }
    if (parser.isSet(known.version)) {
        result.output = QStringLiteral("zir-cli %1\n").arg(QLatin1String(kVersion));
        return result;
    }
    try {
        result.options = Interpret(parser, known);
    } catch (const UsageError& e) {
        result.exitStatus = kExitUsage;
        result.error = e.text;
    }
    return result;
}

} // namespace zir::cli
