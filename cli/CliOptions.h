#pragma once
// zir-cli's command line: the common options of the line, one command and
// its arguments, checked as the window checks its fields, so that a value
// the window would refuse ends the program before the port is opened.

#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

#include "device/Channel.h"
#include "device/Coefficients.h"
#include "device/ServiceParameters.h"

namespace zir::cli {

// Exit codes, as --help and the man page list them.
inline constexpr int kExitDone = 0;
inline constexpr int kExitNoAnswer = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitPort = 3;
inline constexpr int kExitFile = 4;
inline constexpr int kExitInterrupted = 130;

enum class Command {
    Time,
    Current,
    Banks,
    Read,
    ReadAll,
    WriteDimension,
    WriteCoefficients,
    WriteParameters,
    Export,
    Import,
};

inline constexpr int kDefaultBaud = 19200;
inline const QString kDefaultAddress = QStringLiteral("255.255.255");

struct CliOptions {
    Command command = Command::Time;

    // The line.
    int port = 1;            // --port: the window's COM-port number
    QString devicePath;      // --device; empty: the port number names the device
    int baud = kDefaultBaud; // --baud
    QString address = kDefaultAddress;
    bool addressGiven = false; // export: only this address (otherwise every one)
    bool quiet = false;
    bool trace = false;
    bool noHistory = false; // readings stay out of the history

    // read, read-all.
    std::optional<int> bank; // read BANK; nullopt: the bank in use ("current")
    std::optional<int> from; // --from HH:MM as minutes after midnight
    std::optional<int> to;   // --to HH:MM
    bool noEmpty = false;
    bool archiveTxt = false;
    QString xlsxDir; // empty: no workbook

    // export: the days from ... to ... (both included); invalid: no limit.
    QDate fromDate;
    QDate toDate;
    // import.
    QStringList files;

    // The writes.
    Channel channel = Channel::A;
    QString dimensionText;
    CoefficientValues coefficients;
    ServiceParameterValues parameters;
};

struct ParsedArguments {
    std::optional<CliOptions> options; // nullopt: print `output` and exit with `exitStatus`
    int exitStatus = kExitDone;
    QString output; // for stdout: the help or the version
    QString error;  // for stderr, without the program's name
};

// arguments[0] is the program name, as QCoreApplication::arguments() gives it.
ParsedArguments ParseArguments(const QStringList& arguments);

QString HelpText();

} // namespace zir::cli
