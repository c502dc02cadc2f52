// zir-cli's command line and the small texts it writes: option checks as
// the window checks its fields, CSV quoting, trace lines, progress text.
#include <gtest/gtest.h>

#include <QTime>
#include <cstdio>
#include <utility>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Csv.h"
#include "cli/TerminalProgress.h"
#include "core/Version.h"
#include "link/ZebusModTransport.h"
#include "support/RecordingStatus.h"
#include "support/VirtualClock.h"

namespace zir::cli {
namespace {

ParsedArguments Parse(const QStringList& args) { return ParseArguments(QStringList{QStringLiteral("zir-cli")} + args); }

struct Refusal {
    QStringList args;
    const char* errorPart; // a piece of the message that names what is wrong
};

class RefusedCommandLine : public testing::TestWithParam<Refusal> {};

TEST_P(RefusedCommandLine, EndsWithUsageStatusAndNamesTheFault) {
    const ParsedArguments parsed = Parse(GetParam().args);
    EXPECT_FALSE(parsed.options.has_value());
    EXPECT_EQ(parsed.exitStatus, kExitUsage);
    EXPECT_TRUE(parsed.error.contains(QString::fromUtf8(GetParam().errorPart))) << parsed.error.toStdString();
    EXPECT_TRUE(parsed.output.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cli, RefusedCommandLine,
    testing::Values(
        Refusal{{"--frobnicate", "time"}, "Unknown option 'frobnicate'"}, Refusal{{}, "a command is missing"},
        Refusal{{"clock"}, "unknown command 'clock'"}, Refusal{{"time", "now"}, "usage: zir-cli [OPTIONS] time"},
        Refusal{{"read"}, "usage: zir-cli [OPTIONS] read BANK|current"},
        Refusal{{"write-coefficients", "A", "1", "1"}, "write-coefficients CHANNEL K M THRESHOLD"},
        // The line.
        Refusal{{"--port", "0", "time"}, "--port must be a whole number from 1 to 256, not '0'"},
        Refusal{{"--port", "257", "time"}, "from 1 to 256"}, Refusal{{"--port", "x", "time"}, "not 'x'"},
        Refusal{{"--port", "1", "--device", "/dev/ttyUSB0", "time"}, "--port and --device exclude each other"},
        Refusal{{"--baud", "14400", "time"}, "--baud must be 19200, 9600, 4800, 2400 or 1200, not '14400'"},
        Refusal{{"--address", "1.2", "time"}, "ZeBUS address wrong: '1.2'"},
        Refusal{{"--address", "1.2.256", "time"}, "ZeBUS address wrong"},
        Refusal{{"--address", "a.b.c", "time"}, "ZeBUS address wrong"},
        // Reading.
        Refusal{{"read", "14"}, "BANK must be a whole number from 0 to 13, not '14'"},
        Refusal{{"read", "-1"}, "Unknown option '1'"}, Refusal{{"read", "today"}, "not 'today'"},
        Refusal{{"read", "3", "--from", "8.00"}, "--from needs a time of day HH:MM from 00:00 to 23:59, not '8.00'"},
        Refusal{{"read", "3", "--to", "24:00"}, "--to needs a time of day"},
        Refusal{{"read", "3", "--from", "07:60"}, "not '07:60'"},
        Refusal{{"read", "3", "--from", "10:00", "--to", "9:59"}, "--from 10:00 is later than --to 09:59"},
        Refusal{{"time", "--no-empty"}, "--no-empty applies to read and read-all only"},
        Refusal{{"banks", "--from", "08:00"}, "--from applies to read, read-all and export only"},
        Refusal{{"export", "--no-empty"}, "--no-empty applies to read and read-all only"},
        Refusal{{"banks", "--no-history"}, "--no-history applies to current, read and read-all only"},
        Refusal{{"write-dimension", "A", "x", "--no-history"}, "--no-history applies to"},
        // The history.
        Refusal{{"export", "--from", "25.12.2007"}, "--from needs a date YYYY-MM-DD, not '25.12.2007'"},
        Refusal{{"export", "--to", "2007-02-30"}, "--to needs a date YYYY-MM-DD"},
        Refusal{{"export", "--from", "2007-12-25", "--to", "2007-12-24"},
                "--from 2007-12-25 is later than --to 2007-12-24"},
        Refusal{{"export", "--address", "1.2"}, "ZeBUS address wrong"},
        Refusal{{"export", "extra"}, "usage: zir-cli [OPTIONS] export"},
        Refusal{{"import"}, "usage: zir-cli [OPTIONS] import FILE..."},
        Refusal{{"current", "--archive-txt"}, "--archive-txt applies to read and read-all only"},
        Refusal{{"read-all", "--xlsx", ""}, "--xlsx needs a folder"},
        // The writes: what the window's fields refuse.
        Refusal{{"write-dimension", "C", "x"}, "CHANNEL must be A or B (or 1 or 2), not 'C'"},
        Refusal{{"write-dimension", "A", "\xe6\x97\xa5"}, "TEXT: Character '\xe6\x97\xa5' (U+65E5) cannot be written"},
        Refusal{{"write-coefficients", "B", "1,5", "1", "1"}, "'1,5' is not a valid floating point value"},
        Refusal{{"write-coefficients", "B", "1", "x", "1"}, "'x' is not a valid floating point value"},
        Refusal{{"write-coefficients", "B", "0", "1", "1"}, "The value 0 cannot be sent"},
        Refusal{{"write-coefficients", "B", "1", "1", "1E33"}, "cannot be sent"},
        Refusal{{"write-coefficients", "B", "1", "1", "--", "-5"}, "cannot be sent"},
        Refusal{{"write-parameters", "65536", "0", "0", "0"}, "SN must be a whole number from 0 to 65535"},
        Refusal{{"write-parameters", "0", "256", "0", "0"}, "NN must be a whole number from 0 to 255"},
        Refusal{{"write-parameters", "0", "0", "7", "0"}, "CHARGE must be a whole number from 0 to 6"},
        Refusal{{"write-parameters", "0", "0", "0", "5"}, "RATE must be a whole number from 0 to 4"},
        Refusal{{"write-parameters", "1.5", "0", "0", "0"}, "not '1.5'"}));

TEST(CliCommandLine, OptionsAndArgumentsReachTheCommand) {
    const ParsedArguments read =
        Parse({"--device", "/dev/ttyUSB0", "--baud", "2400", "--address", "12.34.56", "read", "3", "--from", "7:05",
               "--to", "23:59", "--no-empty", "--archive-txt", "--xlsx", "/tmp/books", "--quiet", "--trace"});
    ASSERT_TRUE(read.options.has_value()) << read.error.toStdString();
    const CliOptions& o = *read.options;
    EXPECT_EQ(o.command, Command::Read);
    EXPECT_EQ(o.devicePath, "/dev/ttyUSB0");
    EXPECT_EQ(o.baud, 2400);
    EXPECT_EQ(o.address, "12.34.56");
    EXPECT_EQ(o.bank, 3);
    EXPECT_EQ(o.from, 7 * 60 + 5);
    EXPECT_EQ(o.to, 23 * 60 + 59);
    EXPECT_TRUE(o.noEmpty && o.archiveTxt && o.quiet && o.trace);
    EXPECT_EQ(o.xlsxDir, "/tmp/books");

    const ParsedArguments defaults = Parse({"read", "current"});
    ASSERT_TRUE(defaults.options.has_value());
    EXPECT_EQ(defaults.options->port, 1);
    EXPECT_TRUE(defaults.options->devicePath.isEmpty());
    EXPECT_EQ(defaults.options->baud, 19200);
    EXPECT_EQ(defaults.options->address, "255.255.255");
    EXPECT_FALSE(defaults.options->bank.has_value());
    EXPECT_FALSE(defaults.options->from.has_value() || defaults.options->to.has_value());
    EXPECT_FALSE(defaults.options->archiveTxt || defaults.options->noEmpty || defaults.options->quiet);
}

TEST(CliCommandLine, HistoryCommandsTakeDaysAddressAndFiles) {
    const ParsedArguments all = Parse({"export"});
    ASSERT_TRUE(all.options.has_value());
    EXPECT_EQ(all.options->command, Command::Export);
    EXPECT_FALSE(all.options->addressGiven); // every instrument
    EXPECT_FALSE(all.options->fromDate.isValid() || all.options->toDate.isValid());

    const ParsedArguments some = Parse({"export", "--from", "2007-12-24", "--to", "2007-12-24", "--address", "1.2.3"});
    ASSERT_TRUE(some.options.has_value()) << some.error.toStdString();
    EXPECT_TRUE(some.options->addressGiven);
    EXPECT_EQ(some.options->address, "1.2.3");
    EXPECT_EQ(some.options->fromDate, QDate(2007, 12, 24));
    EXPECT_EQ(some.options->toDate, QDate(2007, 12, 24));
    EXPECT_FALSE(some.options->from.has_value());

    const ParsedArguments files = Parse({"import", "a/Archive.txt", "b/Archive.txt"});
    ASSERT_TRUE(files.options.has_value());
    EXPECT_EQ(files.options->files, (QStringList{"a/Archive.txt", "b/Archive.txt"}));

    for (const char* command : {"current", "read-all"}) {
        const ParsedArguments reading = Parse({command, "--no-history"});
        ASSERT_TRUE(reading.options.has_value()) << command;
        EXPECT_TRUE(reading.options->noHistory);
    }
    EXPECT_FALSE(Parse({"read-all"}).options->noHistory);
}

TEST(CliCommandLine, WritesTakeTheWindowsValues) {
    struct Case {
        QStringList args;
        Command command;
        Channel channel;
    };
    const Case cases[] = {
        {{"write-dimension", "b", "1/s"}, Command::WriteDimension, Channel::B},
        {{"write-dimension", "1", "1/s"}, Command::WriteDimension, Channel::A},
        {{"write-coefficients", "A", "1", "1E-5", "1000"}, Command::WriteCoefficients, Channel::A},
        {{"write-parameters", "4660", "7", "1", "2"}, Command::WriteParameters, Channel::A},
    };
    for (const Case& c : cases) {
        const ParsedArguments parsed = Parse(c.args);
        ASSERT_TRUE(parsed.options.has_value()) << parsed.error.toStdString();
        EXPECT_EQ(parsed.options->command, c.command);
        EXPECT_EQ(parsed.options->channel, c.channel);
    }
    const ParsedArguments dimension = Parse({"write-dimension", "B", "0123456789"});
    EXPECT_EQ(dimension.options->dimensionText, "0123456789"); // cut to 8 when sent, as the window does
    const ParsedArguments coefficients = Parse({"write-coefficients", "A", "2.5", "3E-6", "750"});
    EXPECT_EQ(coefficients.options->coefficients.k, 2.5);
    EXPECT_EQ(coefficients.options->coefficients.m, 3e-6);
    EXPECT_EQ(coefficients.options->coefficients.threshold, 750);
    const ParsedArguments parameters = Parse({"write-parameters", "4660", "7", "1", "2"});
    EXPECT_EQ(parameters.options->parameters.serialNumber, 4660);
    EXPECT_EQ(parameters.options->parameters.netNumber, 7);
    EXPECT_EQ(parameters.options->parameters.chargeParameter, 1);
    EXPECT_EQ(parameters.options->parameters.rateIndex, 2);
}

TEST(CliCommandLine, HelpAndVersionPrintAndEndWithSuccess) {
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"-h"}, QStringList{"time", "--help"}}) {
        const ParsedArguments parsed = Parse(args);
        EXPECT_FALSE(parsed.options.has_value());
        EXPECT_EQ(parsed.exitStatus, kExitDone);
        EXPECT_TRUE(parsed.output.startsWith("Usage: zir-cli [OPTIONS] COMMAND [ARGUMENTS]\n"));
        // Every exit status is documented.
        for (const char* status : {"  0    done", "  1    the instrument did not answer", "  2    bad usage",
                                   "  3    the serial port", "  4    a file or the history", "  130  interrupted"})
            EXPECT_TRUE(parsed.output.contains(QLatin1String(status))) << status;
    }
    for (const QStringList& args : {QStringList{"--version"}, QStringList{"-v"}}) {
        const ParsedArguments parsed = Parse(args);
        EXPECT_EQ(parsed.exitStatus, kExitDone);
        EXPECT_EQ(parsed.output, QStringLiteral("zir-cli %1\n").arg(QLatin1String(kVersion)));
    }
}

TEST(CliCsv, FieldsQuotedOnlyWhenTheyMustBe) {
    struct Case {
        QStringList fields;
        const char* row;
    };
    const Case cases[] = {
        {{"A", "0.0015", "", "12"}, "A,0.0015,,12\r\n"},
        {{"1,5/s"}, "\"1,5/s\"\r\n"},
        {{"\"mR\""}, "\"\"\"mR\"\"\"\r\n"},
        {{"a\nb", "c\rd"}, "\"a\nb\",\"c\rd\"\r\n"},
        {{"мкЗв/ч", " spaced "}, "мкЗв/ч, spaced \r\n"},
        {{}, "\r\n"},
    };
    for (const Case& c : cases) EXPECT_EQ(CsvRow(c.fields), QString::fromUtf8(c.row));
    EXPECT_EQ(IsoMinute(QDateTime(QDate(2007, 12, 24), QTime(8, 5), Qt::UTC)), "2007-12-24T08:05");
    EXPECT_EQ(IsoMinute(QDateTime(QDate(2007, 12, 24), QTime(0, 0))), "2007-12-24T00:00");
    EXPECT_EQ(IsoDate(QDate(2007, 12, 2)), "2007-12-02");
}

TEST(CliProgress, StepsPercentageRateAndTimeLeft) {
    EXPECT_EQ(ProgressText(QStringLiteral("Reading of archive bank 3"), 0, 1443, 0.0),
              "Reading of archive bank 3: 0/1443  0%");
    EXPECT_EQ(ProgressText(QStringLiteral("Reading of archive bank 3"), 420, 1443, 12.5),
              "Reading of archive bank 3: 420/1443  29%  33.6/s  0:30 left");
    EXPECT_EQ(ProgressText(QString(), 14, 14, 0.5), "14/14  100%  28.0/s  0:00 left");
    EXPECT_EQ(ProgressText(QStringLiteral("x"), 1, 1443, 60.0), "x: 1/1443  0%  0.0/s  1442:00 left");
}

// What the progress writes for a sequence of steps at given virtual times.
QString Drawn(bool enabled, const std::vector<std::pair<std::int64_t, int>>& steps, int max) {
    zir::test::RecordingStatus status;
    status.SetStatus(QStringLiteral("Reading of archive bank 3"));
    zir::test::VirtualClock clock;
    char buffer[2048] = {};
    std::FILE* out = fmemopen(buffer, sizeof buffer - 1, "w");
    {
        TTerminalProgress progress(status, clock, out, enabled);
        progress.Prepare(max);
        for (const auto& [atMs, position] : steps) {
            clock.now = atMs;
            progress.SetProgress(position);
        }
        progress.Close();
    }
    std::fclose(out);
    return QString::fromUtf8(buffer);
}

TEST(CliProgress, RedrawnAtMostEveryTenthOfASecondAndAtTheEnd) {
    const QString drawn = Drawn(true, {{0, 1}, {50, 2}, {99, 3}, {100, 4}, {150, 5}, {160, 6}}, 6);
    // Step 1 at once, 2 and 3 within 100 ms of it left out, 4 drawn, 5 left
    // out, the last step always; then the line is cleared.
    EXPECT_EQ(drawn, QStringLiteral("\rReading of archive bank 3: 1/6  16%\033[K"
                                    "\rReading of archive bank 3: 4/6  66%  40.0/s  0:00 left\033[K"
                                    "\rReading of archive bank 3: 6/6  100%  37.5/s  0:00 left\033[K"
                                    "\r\033[K"));
    EXPECT_EQ(Drawn(false, {{0, 1}, {200, 6}}, 6), QString());
    EXPECT_EQ(Drawn(true, {}, 6), QString()) << "nothing to clear when nothing was drawn";
}

} // namespace
} // namespace zir::cli
