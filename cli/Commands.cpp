#include "cli/Commands.h"

#include <unistd.h>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <memory>
#include <optional>

#include "archive/ArchiveReport.h"
#include "archive/ArchiveWorkbook.h"
#include "archive/BankList.h"
#include "archive/BankReading.h"
#include "archive/ReadingInputs.h"
#include "cli/CliLine.h"
#include "cli/Csv.h"
#include "cli/CsvReport.h"
#include "cli/TerminalProgress.h"
#include "core/Errors.h"
#include "core/OperatorDialogs.h"
#include "device/Clock.h"
#include "device/Coefficients.h"
#include "device/CurrentData.h"
#include "device/Dimension.h"
#include "device/ServiceParameters.h"
#include "history/ArchiveTextImport.h"
#include "history/HistoryCsv.h"
#include "history/HistoryReport.h"
#include "history/HistoryStore.h"
#include "link/numFormats.h"

namespace zir::cli {

namespace {

// A command that ends without its result: the exit status and the message.
struct Failure {
    int status;
    QString message;
};

[[noreturn]] void Fail(int status, const QString& message) { throw Failure{status, message}; }

// What every command is given.
class Session {
public:
    Session(const CliOptions& options, const CliEnvironment& env)
        : options_(options),
          env_(env),
          line_(options, TraceSink(options, env), env.stopRequested),
          progress_(line_.Status(), line_.Clock(), env.err, env.showProgress),
          out_(env.out) {}

    DeviceContext Context() {
        return DeviceContext{line_.Link(), options_.address, line_.Status(), progress_, env_.showProgress};
    }
    IStatusLine& Status() { return line_.Status(); }
    IClock& Clock() { return line_.Clock(); }
    TDataOutput& Out() { return out_; }
    const CliOptions& Options() const { return options_; }
    const CliEnvironment& Env() const { return env_; }

    // The history the window shares ($XDG_DATA_HOME/zir/history.sqlite),
    // made on first use.
    THistoryStore& History() {
        if (!history_) history_ = std::make_unique<THistoryStore>(HistoryFilePath(), Clock());
        return *history_;
    }
    // Commits what is staged; the message about the file, "" when there is none.
    QString HistoryProblem() {
        if (!history_) return QString();
        history_->Commit();
        return history_->TakeProblem(THistoryStore::Repeat::EveryTime);
    }

    // Before each request of the bank list and the reading: a stop asked for
    // meanwhile ends the operation here.
    std::function<void()> BetweenRequests() const {
        return [stop = env_.stopRequested] {
            if (stop && stop()) throw EProtocolCancel(QStringLiteral("Canceled"));
        };
    }

private:
    static TCliTrace::Sink TraceSink(const CliOptions& options, const CliEnvironment& env) {
        if (!options.trace) return {};
        return [err = env.err](const QString& line) {
            std::fprintf(err, "%s\n", line.toUtf8().constData());
            std::fflush(err);
        };
    }

    const CliOptions& options_;
    const CliEnvironment& env_;
    TCliLine line_;
    TTerminalProgress progress_;
    TDataOutput out_;
    std::unique_ptr<THistoryStore> history_;
};

// The window's only question in a reading, "Would you read values from
// current bank?", comes when the selection names no bank: for "read current"
// that is the point, and the answer is Yes.
class CliOperator final : public IOperatorDialogs {
public:
    explicit CliOperator(bool readCurrentBank) : readCurrentBank_(readCurrentBank) {}
    Answer AskYesNoCancel(const QString&) override { return readCurrentBank_ ? Answer::Yes : Answer::No; }
    // The window's message boxes: the hint to refresh the list (which
    // "read current" skips on purpose) and "Time interval is wrong" (refused
    // with the command line already).
    void ShowMessage(const QString&) override {}

private:
    bool readCurrentBank_;
};

// The list window's place in the window's outputs: zir-cli writes CSV instead.
class NoList final : public IArchiveList {
public:
    void Show() override {}
    void AddLine(const QString&) override {}
};

int Time(Session& s) {
    const std::optional<ClockReading> reading = ReadClock(s.Context());
    if (!reading) Fail(kExitNoAnswer, s.Status().Status());
    s.Out().Write(IsoMinute(reading->moment) + u'\t' + QString::number(reading->bankIndex) + u'\n');
    return kExitDone;
}

int Current(Session& s) {
    CurrentValues values;
    if (!ReadCurrentData(s.Context(), &values))
        Fail(kExitNoAnswer, QStringLiteral("the instrument gave no current values"));
    // Into the history first, as the window does as soon as it shows them.
    if (!s.Options().noHistory)
        RecordCurrentReading(s.History(), s.Options().address, values, QDateTime::currentDateTime());
    s.Out().Write(CsvRow({QStringLiteral("channel"), QStringLiteral("value"), QStringLiteral("unit"),
                          QStringLiteral("uncertainty")}) +
                  CsvRow({QStringLiteral("A"), ValueCodeToText(values.codeA), values.dimensionA,
                          QString::number(values.uncertaintyA)}) +
                  CsvRow({QStringLiteral("B"), ValueCodeToText(values.codeB), values.dimensionB,
                          QString::number(values.uncertaintyB)}));
    return kExitDone;
}

QList<BankHeader> ActiveBanks(Session& s) {
    const QList<BankHeader> banks = RefreshBankList(s.Context(), s.BetweenRequests());
    if (banks.isEmpty()) Fail(kExitNoAnswer, kNoActiveBanks);
    return banks;
}

int Banks(Session& s) {
    QString csv = CsvRow({QStringLiteral("bank"), QStringLiteral("date")});
    for (const BankHeader& bank : ActiveBanks(s)) csv += CsvRow({QString::number(bank.bank), IsoDate(bank.date)});
    s.Out().Write(csv);
    return kExitDone;
}

// A reading as the window runs it, with the window's outputs that the
// command line asks for behind the CSV, and the history in front of them
// (unless --no-history).
class Reading {
public:
    explicit Reading(Session& s)
        : s_(s),
          operator_(s.Options().command == Command::Read && !s.Options().bank),
          services_{s.Context(), operator_, s.BetweenRequests(), s.Clock()} {
        const CliOptions& o = s.Options();
        // No workbook is opened for an operator: nobody may be at the screen.
        if (o.archiveTxt)
            textFile_ = std::make_unique<TArchiveReport>(
                TArchiveReport::Services{list_, s.Status(), s.Env().appDir, {}, s.Clock()});
        const QString folder = o.xlsxDir.endsWith(u'/') ? o.xlsxDir : o.xlsxDir + u'/';
        if (!o.xlsxDir.isEmpty()) {
            // What a killed run left behind, as the window does at its start.
            TArchiveWorkbook::RemoveLeftovers(folder);
            TArchiveWorkbook::RemoveLeftoverRows(QDir::tempPath());
            workbook_ =
                std::make_unique<TArchiveReport>(TArchiveReport::Services{list_, s.Status(), folder, {}, s.Clock()});
        }
        csv_ = std::make_unique<TCsvArchiveReport>(s.Out(), s.Status(), textFile_.get(), workbook_.get(), folder);
        if (!o.noHistory) history_ = std::make_unique<THistoryReport>(*csv_, s.History(), o.address);
        if (o.from) inputs_.filter.from = TimeLimitAt(*o.from);
        if (o.to) inputs_.filter.to = TimeLimitAt(*o.to);
        inputs_.noNull = o.noEmpty;
        inputs_.toExcel = workbook_ != nullptr;
        inputs_.toFile = textFile_ != nullptr;
    }

    // The minutes asked for and read, on standard error however the reading
    // ended: always when minutes did not answer (they are left out of the
    // CSV), otherwise only beside the progress display (cron mails whatever
    // a run writes there).
    ~Reading() {
        const std::optional<MinuteCount> minutes = csv_->Minutes();
        if (minutes && (minutes->read < minutes->asked || s_.Env().showProgress)) {
            std::fprintf(s_.Env().err, "zir-cli: %s\n", MinutesReadText(*minutes).toUtf8().constData());
            std::fflush(s_.Env().err);
        }
    }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

    // One bank of the bank list, or (nullopt) the bank in use.
    void ReadOne(const std::optional<BankSelection>& bank) {
        BankReadingInputs inputs = inputs_;
        inputs.bank = bank;
        ReadBank(services_, inputs, Report());
        if (csv_->Started() == 0) Fail(kExitNoAnswer, s_.Status().Status());
    }

    void ReadAll() {
        QList<BankHeader> listed;
        ReadWholeArchive(
            services_, Report(), [&](const QList<BankHeader>& banks) { listed = banks; },
            [&](int index) {
                BankReadingInputs inputs = inputs_;
                const BankHeader& bank = listed.at(index);
                inputs.bank = BankSelection{bank.bank, bank.date};
                return inputs;
            });
        if (listed.isEmpty()) Fail(kExitNoAnswer, kNoActiveBanks);
    }

    int Outcome() const {
        if (!csv_->AnyAnswered()) Fail(kExitNoAnswer, QStringLiteral("the instrument answered no record"));
        return kExitDone;
    }

private:
    IArchiveReport& Report() { return history_ ? static_cast<IArchiveReport&>(*history_) : *csv_; }

    Session& s_;
    CliOperator operator_;
    ArchiveServices services_;
    NoList list_;
    std::unique_ptr<TArchiveReport> textFile_;
    std::unique_ptr<TArchiveReport> workbook_;
    std::unique_ptr<TCsvArchiveReport> csv_;
    std::unique_ptr<THistoryReport> history_;
    BankReadingInputs inputs_;
};

int Read(Session& s) {
    Reading reading(s);
    const std::optional<int> bank = s.Options().bank;
    if (!bank) {
        reading.ReadOne(std::nullopt);
        return reading.Outcome();
    }
    // The bank list gives the bank's date, as the window's list box does.
    for (const BankHeader& listed : ActiveBanks(s)) {
        if (listed.bank == *bank) {
            reading.ReadOne(BankSelection{listed.bank, listed.date});
            return reading.Outcome();
        }
    }
    Fail(kExitNoAnswer, QStringLiteral("bank %1 is not among the active banks").arg(*bank));
}

int ReadAll(Session& s) {
    Reading reading(s);
    reading.ReadAll();
    return reading.Outcome();
}

QDateTime WallMidnight(const QDate& day) { return QDateTime(day, QTime(0, 0), Qt::UTC); }

// The history's archive records to standard output; the days --to names are
// included. Without a day the range is that of the stored records.
int Export(Session& s) {
    const CliOptions& o = s.Options();
    THistoryStore& store = s.History();
    const QString address = o.addressGiven ? o.address : QString();
    QDateTime from = o.fromDate.isValid() ? WallMidnight(o.fromDate) : QDateTime();
    QDateTime to = o.toDate.isValid() ? WallMidnight(o.toDate.addDays(1)) : QDateTime();
    if (!from.isValid() || !to.isValid()) {
        QDateTime first;
        QDateTime last;
        for (const QString& a : address.isEmpty() ? store.Addresses() : QStringList{address}) {
            if (const auto span = store.RecordSpan(a)) {
                if (!first.isValid() || span->first < first) first = span->first;
                if (!last.isValid() || span->second > last) last = span->second;
            }
        }
        if (!store.ReadError().isEmpty()) Fail(kExitFile, store.ReadError());
        if (!from.isValid()) from = first.isValid() ? first : to;
        if (!to.isValid()) to = last.isValid() ? last.addSecs(60) : from;
        if (!from.isValid()) from = to = WallMidnight(QDate(2000, 1, 1)); // nothing stored
    }
    QFile out;
    if (!out.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered))
        Fail(kExitFile, QStringLiteral("standard output cannot be written"));
    QString error;
    if (!WriteHistoryCsv(store, out, address, from, to, &error)) Fail(kExitFile, error);
    return kExitDone;
}

// Archive.txt files into the history, one line of counts each. Every file is
// looked at before anything is imported.
int Import(Session& s) {
    for (const QString& file : s.Options().files) {
        const QFileInfo info(file);
        if (!info.isFile() || !info.isReadable())
            Fail(kExitUsage, QStringLiteral("%1: %2").arg(file, info.exists() ? QStringLiteral("not a readable file")
                                                                              : QStringLiteral("no such file")));
    }
    for (const QString& file : s.Options().files) {
        const ArchiveImportResult result = ImportArchiveText(s.History(), file);
        if (!result.ok) Fail(kExitFile, result.error);
        s.Out().Write(ImportSummary(result) + u'\n');
    }
    return kExitDone;
}

int Written(bool acknowledged, Session& s) {
    if (!acknowledged) Fail(kExitNoAnswer, s.Status().Status());
    return kExitDone;
}

int Dispatch(Session& s) {
    const CliOptions& o = s.Options();
    switch (o.command) {
    case Command::Time: return Time(s);
    case Command::Current: return Current(s);
    case Command::Banks: return Banks(s);
    case Command::Read: return Read(s);
    case Command::ReadAll: return ReadAll(s);
    case Command::WriteDimension: return Written(WriteDimension(s.Context(), o.dimensionText, o.channel), s);
    case Command::WriteCoefficients:
        return Written(WriteCoefficients(s.Context(), o.channel, [&o] { return o.coefficients; }), s);
    case Command::WriteParameters: return Written(WriteServiceParameters(s.Context(), o.parameters), s);
    case Command::Export: return Export(s);
    case Command::Import: return Import(s);
    }
    Fail(kExitUsage, QStringLiteral("unknown command"));
}

} // namespace

int RunCommand(const CliOptions& options, const CliEnvironment& env) {
    int status = kExitDone;
    QString message;
    QString historyProblem;
    try {
        Session session(options, env);
        try {
            status = Dispatch(session);
        } catch (...) {
            historyProblem = session.HistoryProblem();
            throw;
        }
        historyProblem = session.HistoryProblem();
    } catch (const Failure& f) {
        status = f.status;
        message = f.message;
    } catch (const EPortError& e) {
        status = kExitPort;
        message = e.message();
    } catch (const EFileError& e) {
        status = kExitFile;
        message = e.message();
    } catch (const EProtocolCancel& e) {
        status = kExitInterrupted;
        message = QStringLiteral("interrupted");
    } catch (const EZirError& e) {
        // A reply that decodes to nothing sensible (an impossible clock time).
        status = kExitNoAnswer;
        message = e.message();
    } catch (const std::exception& e) {
        status = kExitNoAnswer;
        message = QString::fromLocal8Bit(e.what());
    }
    // A stop that came while the last request ran leaves the command
    // unfinished whatever it ended with.
    if (status != kExitDone && status != kExitInterrupted && env.stopRequested && env.stopRequested()) {
        status = kExitInterrupted;
        message = QStringLiteral("interrupted");
    }
    if (status != kExitDone) std::fprintf(env.err, "zir-cli: %s\n", message.toUtf8().constData());
    // The history never stops a reading: its message comes at the end.
    if (!historyProblem.isEmpty() && historyProblem != message) {
        std::fprintf(env.err, "zir-cli: %s\n", historyProblem.toUtf8().constData());
        if (status == kExitDone) status = kExitFile;
    }
    std::fflush(env.err);
    return status;
}

} // namespace zir::cli
