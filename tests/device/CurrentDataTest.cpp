#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/DateText.h"
#include "device/CurrentData.h"
#include "tests/device/FakeDevice.h"

namespace zir::test {
namespace {

const QByteArray kClockC = ReplyWith(Bytes({0, 0, 0, 0x30, 0x14, 0x25, 0x12, 0x07, 'C'}));
// Uncertainty B 5, value B 0x007B, uncertainty A 12, value A 0xF496.
const QByteArray kCurrentValues = ReplyWith(Bytes({1, 2, 3, 5, 0x7B, 0x00, 12, 0x96, 0xF4}));

QByteArray DimensionReply(const QByteArray& text) {
    return ReplyWith(QByteArray(4, '\0') + text.leftJustified(8, ' '));
}

// Instrument answering by request; a missing entry stays silent.
std::function<QByteArray(const QByteArray&)> Instrument(std::map<QByteArray, QByteArray> answers) {
    return [answers](const QByteArray& data) {
        const auto it = answers.find(data);
        return it == answers.end() ? QByteArray() : it->second;
    };
}

TEST(ReadCurrentData, FillsFieldsFromTheExampleReply) {
    FakeDevice dev;
    dev.link.answer = Instrument(
        {{"XT", kClockC}, {"CR1", DimensionReply("")}, {"CR2", DimensionReply("1/s")}, {"XW", kCurrentValues}});
    const auto fields = ReadCurrentData(dev.Context());
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(*fields, (CurrentDataFields{"0.0015 ", "12", "1.23 1/s", "5"}));
    EXPECT_EQ(dev.link.SentData(), (std::vector<QByteArray>{"XT", "CR1", "CR2", "XW"}));
    EXPECT_EQ(dev.status.history, QStringList({"", "Current measures was written successfully"}));
    EXPECT_EQ(dev.progress.calls, QStringList({"Prepare 4", "Show", "Set 1", "Set 2", "Set 3", "Set 4", "Close"}));
}

TEST(ReadCurrentData, GivesTheRawCodesAndUncertaintiesWithTheFields) {
    FakeDevice dev;
    dev.link.answer = Instrument(
        {{"XT", kClockC}, {"CR1", DimensionReply("")}, {"CR2", DimensionReply("1/s")}, {"XW", kCurrentValues}});
    CurrentValues values;
    ASSERT_TRUE(ReadCurrentData(dev.Context(), &values).has_value());
    EXPECT_EQ(values.codeA, 0xF496);
    EXPECT_EQ(values.uncertaintyA, 12);
    EXPECT_EQ(values.codeB, 0x007B);
    EXPECT_EQ(values.uncertaintyB, 5);
    EXPECT_EQ(values.dimensionA, "");
    EXPECT_EQ(values.dimensionB, "1/s");
}

TEST(ReadCurrentData, UnansweredClockAsksDimensionsWithSelector01) {
    FakeDevice dev;
    dev.showProgress = false;
    dev.link.answer = Instrument({{QByteArray("\x01R1"), DimensionReply("kg")}, {"XW", kCurrentValues}});
    const auto fields = ReadCurrentData(dev.Context());
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(fields->dataA, "0.0015 kg");
    EXPECT_EQ(fields->dataB, "1.23 ");
    EXPECT_EQ(dev.link.SentData(), (std::vector<QByteArray>{"XT", "\x01R1", "\x01R2", "XW"}));
    EXPECT_EQ(dev.progress.calls, QStringList({"Prepare 4", "Set 2", "Set 3", "Set 4", "Close"}));
}

TEST(ReadCurrentData, ValuesReplyOfWrongLengthGivesNoFields) {
    for (const QByteArray& xw : {QByteArray(), ReplyWith({}), ReplyWith(QByteArray(10, '\0'))}) {
        FakeDevice dev;
        dev.link.answer = Instrument({{"XT", kClockC}, {"XW", xw}});
        EXPECT_FALSE(ReadCurrentData(dev.Context()).has_value());
        EXPECT_EQ(dev.status.Status(), "Current measures wasn't written");
        EXPECT_EQ(dev.progress.calls.last(), "Close");
    }
}

TEST(ReadCurrentData, CancelEndsTheReadingAndClosesProgress) {
    FakeDevice dev;
    dev.link.answer = [](const QByteArray& data) -> QByteArray {
        if (data == "XT") return kClockC;
        throw EProtocolCancel(QStringLiteral("Canceled"));
    };
    EXPECT_THROW(ReadCurrentData(dev.Context()), EProtocolCancel);
    EXPECT_EQ(dev.link.sent.size(), 2u);
    EXPECT_EQ(dev.progress.calls, QStringList({"Prepare 4", "Show", "Set 1", "Close"}));
    EXPECT_EQ(dev.status.Status(), QString());
}

// Ticks after program start at which a reading runs, for a sequence of
// (auto refresh, period) settings, one per tick.
std::vector<int> DueTicks(const std::vector<std::pair<bool, int>>& settings) {
    TRefreshSchedule schedule;
    std::vector<int> due;
    for (size_t i = 0; i < settings.size(); ++i)
        if (schedule.Tick(settings[i].first, settings[i].second)) due.push_back(static_cast<int>(i) + 1);
    return due;
}

std::vector<std::pair<bool, int>> Repeat(int ticks, bool on, int period) {
    return std::vector<std::pair<bool, int>>(static_cast<size_t>(ticks), {on, period});
}

template <typename... Parts>
std::vector<std::pair<bool, int>> Join(Parts... parts) {
    std::vector<std::pair<bool, int>> all;
    (all.insert(all.end(), parts.begin(), parts.end()), ...);
    return all;
}

TEST(RefreshSchedule, ReadsOnMultiplesOfThePeriodCountedFromStart) {
    EXPECT_EQ(DueTicks(Repeat(30, true, 10)), (std::vector<int>{9, 19, 29}));
    // Switched on after 12 ticks: the count went on meanwhile.
    EXPECT_EQ(DueTicks(Join(Repeat(12, false, 10), Repeat(18, true, 10))), (std::vector<int>{19, 29}));
    // Period changed from 10 to 3 after tick 12 (count 13): next multiple of 3.
    EXPECT_EQ(DueTicks(Join(Repeat(12, true, 10), Repeat(8, true, 3))), (std::vector<int>{9, 14, 17, 20}));
    EXPECT_EQ(DueTicks(Repeat(20, false, 3)), std::vector<int>{});
}

class LogFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath("ZIR.txt"); }
    QByteArray contents() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    const QDateTime now{QDate(2024, 3, 5), QTime(9, 7, 3)};
    const CurrentDataFields fields{QString::fromUtf8("0.0015 мк"), "12", "1.23 1/s", "5"};
    QByteArray ExpectedLine() const {
        return DateTimeToText(now).toLatin1() + "  0.0015 \xEC\xEA \xB1 12 %   1.23 1/s \xB1 5 %\r\n";
    }
};

TEST_F(LogFile, LineIsWrittenByteForByteAndReported) {
    RecordingStatus status;
    EXPECT_TRUE(AppendCurrentDataLog(path(), now, fields, status));
    EXPECT_EQ(contents(), ExpectedLine());
    EXPECT_EQ(status.Status(), "Data at file " + CurrentDataLogLine(now, fields) + " was refreshed");
    EXPECT_EQ(CurrentDataLogLine(now, fields),
              DateTimeToText(now) + QString::fromUtf8("  0.0015 мк ± 12 %   1.23 1/s ± 5 %"));
}

TEST_F(LogFile, AppendsToAnExistingFile) {
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier line\r\n");
    }
    RecordingStatus status;
    ASSERT_TRUE(AppendCurrentDataLog(path(), now, fields, status));
    ASSERT_TRUE(AppendCurrentDataLog(path(), now, fields, status));
    EXPECT_EQ(contents(), "earlier line\r\n" + ExpectedLine() + ExpectedLine());
}

TEST_F(LogFile, UnopenableFileIsReportedAndNothingIsWritten) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("ZIR.txt")); // a folder in the file's place
    const std::pair<QString, QString> cases[] = {{path(), "Is a directory"},
                                                 {dir.filePath("missing/ZIR.txt"), "No such file or directory"}};
    for (const auto& [target, cause] : cases) {
        RecordingStatus status;
        QString problem;
        EXPECT_FALSE(AppendCurrentDataLog(target, now, fields, status, &problem));
        EXPECT_EQ(status.Status(), "Can't save data to file");
        EXPECT_EQ(problem, "Cannot open file \"" + target + "\": " + cause);
    }
    EXPECT_FALSE(QFile::exists(dir.filePath("missing")));
}

TEST_F(LogFile, WriteErrorIsRaisedAndLeavesStatusAlone) {
    RecordingStatus status;
    status.SetStatus("Current measures was written successfully");
    EXPECT_THROW(AppendCurrentDataLog("/dev/full", now, fields, status), EFileError);
    EXPECT_EQ(status.Status(), "Current measures was written successfully");
}

} // namespace
} // namespace zir::test
