// The bank list refresh, the bank reading and the whole archive against a
// scripted instrument, with the outputs and the window recorded.
#include <gtest/gtest.h>

#include <set>

#include "ArchiveFakes.h"
#include "archive/BankList.h"
#include "archive/BankReading.h"
#include "core/DateText.h"
#include "device/Dimension.h"

namespace zir::test {
namespace {

const QDate kToday(2024, 6, 1);
const QByteArray kDimA("Bq/h    ");
const QByteArray kDimB("3/5     ");

// Banks as the scripted instrument holds them: letter -> header data.
using Banks = std::map<char, QByteArray>;

// Record of a minute: values vary with the minute, minute 1 of every hour
// is empty (both 0, uncertainties 0 and 255).
QByteArray MinuteRecord(char letter, int index) {
    if (index % 60 == 1) return RecordData(letter, index, 0, 0, 0, 255);
    return RecordData(letter, index, std::uint16_t(0x0400 | (index % 1000 + 1)), index % 30 + 1,
                      std::uint16_t(index % 500 + 1), 7);
}

struct Rig {
    FakeDeviceLink link;
    RecordingStatus status;
    QStringList log;
    RecordingProgress progress{log};
    ScriptedOperator op;
    VirtualClock clock;
    RecordingReport report{log};
    int eventsRun = 0;
    Banks banks{{'C', HeaderData('C', 0x17, 0x05, 0x24)}};
    char currentBank = 'C';

    // What the instrument answers; a test may replace it, also by one that
    // falls back on the one set here.
    ReplyDataScript instrument;

    Rig() {
        link.answer = [this](const QByteArray& data) { return AnsweringWith(instrument)(data); };
        instrument = [this](const QByteArray& data) -> std::optional<QByteArray> {
            if (data == "XT") return ClockData(currentBank);
            if (data.size() == 2 && data[1] == 'V') {
                const auto bank = banks.find(data[0]);
                if (bank == banks.end()) return std::nullopt;
                return bank->second;
            }
            if (data.size() == 3 && data[1] == 'R')
                return QByteArray(data.left(1) + "   ") + (data[2] == '1' ? kDimA : kDimB);
            if (data.size() == 5) return MinuteRecord(data[0], data.mid(1).toInt());
            return std::nullopt;
        };
    }

    ArchiveServices Services() {
        clock.wallAtZero = QDateTime(kToday, QTime(10, 0));
        return {DeviceContext{link, kTestAddress, status, progress, true}, op, [this] { ++eventsRun; }, clock};
    }

    void Read(const BankReadingInputs& inputs) { ReadBank(Services(), inputs, report); }

    std::vector<int> RecordIndicesAsked() const {
        std::vector<int> indices;
        for (const QByteArray& r : link.SentData())
            if (r.size() == 5) indices.push_back(r.mid(1).toInt());
        return indices;
    }
};

// A filter end as the window gives it for a field reading "hh:mm".
TimeLimit Limit(const char* text) {
    const QString field = QString::fromLatin1(text);
    return {field.left(2).toInt() * 60 + field.mid(3, 2).toInt(), field};
}

BankReadingInputs Inputs(const std::optional<BankSelection>& bank, const char* from = nullptr,
                         const char* to = nullptr) {
    BankReadingInputs inputs;
    inputs.bank = bank;
    if (from) inputs.filter.from = Limit(from);
    if (to) inputs.filter.to = Limit(to);
    return inputs;
}

const BankSelection kBankC{2, QDate(2024, 5, 17)};

TEST(BankList, OrdersByDateThenNumberAndUsesTheRepliedNumber) {
    Rig rig;
    rig.banks = {
        {'A', HeaderData('A', 0x02, 0x01, 0x24)}, {'B', HeaderData('B', 0x31, 0x12, 0x23)},
        {'C', HeaderData('E', 0x02, 0x01, 0x24)}, // asked as bank 2, names bank 4
        {'D', HeaderData('D', 0x31, 0x04, 0x24)}, // 31 April: left out
        {'F', HeaderData('F', 0x02, 0x01, 0x24)}, {'M', HeaderData('M', 0x01, 0x01, 0x99)},
    };
    const QList<BankHeader> entries = RefreshBankList(rig.Services().ctx, [&] { ++rig.eventsRun; });
    EXPECT_EQ(entries, (QList<BankHeader>{{1, QDate(2023, 12, 31)},
                                          {0, QDate(2024, 1, 2)},
                                          {4, QDate(2024, 1, 2)},
                                          {5, QDate(2024, 1, 2)},
                                          {12, QDate(2099, 1, 1)}}));
    std::vector<QByteArray> asked;
    for (char letter = 'A'; letter <= 'N'; ++letter) asked.push_back(QByteArray(1, letter) + 'V');
    EXPECT_EQ(rig.link.SentData(), asked);
    EXPECT_EQ(rig.eventsRun, 14);
    EXPECT_EQ(rig.status.history, QStringList({"Refreshing of bank list", "Bank list was refreshed"}));
    EXPECT_EQ(rig.log, QStringList({"Prepare 14", "Show", "Close"}));
    EXPECT_EQ(rig.progress.position, 13);
    // Twice in a row gives the same list.
    EXPECT_EQ(RefreshBankList(rig.Services().ctx, {}), entries);
}

TEST(BankList, CancelEndsRefreshWithProgressClosed) {
    Rig rig;
    rig.link.beforeRequest = [](int n) {
        if (n == 5) throw EProtocolCancel(QStringLiteral("Canceled"));
    };
    EXPECT_THROW(RefreshBankList(rig.Services().ctx, {}), EProtocolCancel);
    EXPECT_EQ(rig.log.last(), "Close");
    EXPECT_EQ(rig.status.history, QStringList({"Refreshing of bank list"}));
}

TEST(BankReading, WholeDayRequestsEveryMinuteInOrder) {
    Rig rig;
    rig.Read(Inputs(kBankC));
    const std::vector<int> asked = rig.RecordIndicesAsked();
    ASSERT_EQ(asked.size(), 1440u);
    for (int i = 0; i < 1440; ++i) ASSERT_EQ(asked[size_t(i)], i);
    EXPECT_EQ(rig.link.SentData()[0], QByteArray("CR1"));
    EXPECT_EQ(rig.link.SentData()[1], QByteArray("CR2"));
    EXPECT_EQ(rig.link.SentData()[2], QByteArray("C0000"));
    // To - From + 3: the last record fills the gauge.
    EXPECT_EQ(rig.progress.maxValue, 1442);
    EXPECT_EQ(rig.progress.position, 1442);
    EXPECT_EQ(rig.eventsRun, 1440);
    EXPECT_EQ(rig.report.records.size(), 1440u); // empty records too, without CB_NoNull
    EXPECT_EQ(rig.report.records.back().row, 1442);

    const QString title = "Report to ZIR " + kTestAddress + " on " + ShortDateText(QDate(2024, 5, 17));
    ASSERT_EQ(rig.report.starts.size(), 1u);
    EXPECT_EQ(rig.report.starts[0].title, title);
    EXPECT_EQ(rig.report.starts[0].bank, 2);
    EXPECT_EQ(rig.status.history, QStringList({"", title, "Reading of dimension of chanel A",
                                               "Reading of dimension of chanel B", "Reading of archive bank 2"}));
    const QString dimA = DecodeDimensionText(kDimA), dimB = DecodeDimensionText(kDimB);
    EXPECT_EQ(rig.log,
              QStringList({"start", "list", "Prepare 1442", "Show", "heads " + dimA + "|" + dimB, "Close", "end"}));
    EXPECT_EQ(rig.report.lastLine, rig.report.records.back().line);
}

TEST(BankReading, TimeWindowBoundsAndGauge) {
    struct Case {
        const char* from;
        const char* to;
        int first;
        int count;
        int gaugeMax;
    };
    const Case cases[] = {
        {"08:00", "08:09", 480, 10, 12}, {"08:00", "08:00", 480, 1, 3},
        {" 7:05", " 7:06", 425, 2, 4},   {nullptr, "00:02", 0, 3, 5},
        {"23:58", nullptr, 1438, 2, 4},  {"23:59", "25:00", 1439, 62, 64}, // not limited to one day
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.from ? c.from : "-") << " " << (c.to ? c.to : "-"));
        Rig rig;
        rig.Read(Inputs(kBankC, c.from, c.to));
        const std::vector<int> asked = rig.RecordIndicesAsked();
        ASSERT_EQ(int(asked.size()), c.count);
        EXPECT_EQ(asked.front(), c.first);
        EXPECT_EQ(asked.back(), c.first + c.count - 1);
        EXPECT_EQ(rig.progress.maxValue, c.gaugeMax);
        EXPECT_EQ(rig.report.records.front().row, 3);
    }
}

TEST(BankReading, WrongIntervalAbandonsAfterShowingTheList) {
    Rig rig;
    rig.Read(Inputs(kBankC, "10:00", "09:59"));
    EXPECT_EQ(rig.op.messages, QStringList({"Time interval is wrong"}));
    EXPECT_EQ(rig.log, QStringList({"start", "list", "abandon"}));
    EXPECT_TRUE(rig.link.SentData().empty());
}

TEST(BankReading, RowFollowsRequestTimeFollowsReply) {
    Rig rig;
    const auto normal = rig.instrument;
    rig.instrument = [&](const QByteArray& data) -> std::optional<QByteArray> {
        if (data == "C0012") return RecordData('D', 13, 5, 1, 6, 2);
        if (data == "C0011") return std::nullopt; // no reply: minute left out
        return normal(data);
    };
    rig.Read(Inputs(kBankC, "00:10", "00:12"));
    ASSERT_EQ(rig.report.records.size(), 2u);
    EXPECT_EQ(rig.report.records[0].row, 3);
    const auto& r = rig.report.records[1];
    EXPECT_EQ(r.requestedIndex, 12);
    EXPECT_EQ(r.row, 5);
    EXPECT_EQ(r.record.index, 13);
    EXPECT_EQ(r.record.bank, 3);
    EXPECT_EQ(r.record.time.time(), QTime(0, 13));
}

TEST(BankReading, SkipsEmptyRecordsOnlyWhenAsked) {
    for (bool noNull : {false, true}) {
        SCOPED_TRACE(noNull);
        Rig rig;
        BankReadingInputs inputs = Inputs(kBankC, "01:00", "01:02"); // minute 61 is empty
        inputs.noNull = noNull;
        rig.Read(inputs);
        std::vector<int> rows;
        for (const auto& r : rig.report.records) rows.push_back(r.row);
        EXPECT_EQ(rows, noNull ? std::vector<int>({3, 5}) : std::vector<int>({3, 4, 5}));
    }
    // The line built last counts for the end message, also when it was skipped.
    Rig rig;
    BankReadingInputs inputs = Inputs(kBankC, "01:00", "01:01");
    inputs.noNull = true;
    rig.Read(inputs);
    ASSERT_EQ(rig.report.records.size(), 1u);
    EXPECT_NE(rig.report.lastLine, rig.report.records[0].line);
    EXPECT_TRUE(rig.report.lastLine.startsWith(DateTimeToText(QDateTime(QDate(2024, 5, 17), QTime(1, 1), Qt::UTC))));
}

TEST(BankReading, UnreadableSelectionAsksForTheCurrentBank) {
    struct Case {
        const char* name;
        Answer answer;
        char currentBank;
        std::optional<int> readsBank;
    };
    const Case cases[] = {{"yes, bank D", Answer::Yes, 'D', 3},
                          {"yes, bank A", Answer::Yes, 'A', 0},
                          {"no", Answer::No, 'D', std::nullopt},
                          {"cancel", Answer::Cancel, 'D', std::nullopt},
                          {"yes, letter below A", Answer::Yes, '@', std::nullopt}};
    const QString hint = "You can refresh list of banks before using this request";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        rig.currentBank = c.currentBank;
        rig.op.reply = c.answer;
        rig.Read(Inputs(std::nullopt, "00:00", "00:00"));
        EXPECT_EQ(rig.op.messages, QStringList({hint}));
        EXPECT_EQ(rig.op.questions, QStringList({"Would you read values from current bank?"}));
        EXPECT_EQ(rig.status.history.mid(0, 2), QStringList({"", hint}));
        if (!c.readsBank) {
            EXPECT_EQ(rig.status.Status(), "Arhive reading was broken because number is wrong");
            EXPECT_TRUE(rig.log.isEmpty()); // nothing output
            continue;
        }
        ASSERT_EQ(rig.report.starts.size(), 1u);
        EXPECT_EQ(rig.report.starts[0].bank, *c.readsBank);
        EXPECT_EQ(rig.report.starts[0].bankDate, kToday);
        EXPECT_EQ(rig.link.SentData().front(), QByteArray("XT"));
        EXPECT_EQ(rig.link.SentData().back(), QByteArray(1, char('A' + *c.readsBank)) + "0000");
    }
}

TEST(BankReading, RefusedStartEndsBeforeAnyRequest) {
    Rig rig;
    rig.report.refuseStart = true;
    rig.Read(Inputs(kBankC));
    EXPECT_EQ(rig.log, QStringList({"start"}));
    EXPECT_TRUE(rig.link.SentData().empty());
}

TEST(BankReading, CancelEndsTheReportThenPassesOut) {
    Rig rig;
    rig.link.beforeRequest = [](int n) {
        if (n == 6) throw EProtocolCancel(QStringLiteral("Canceled")); // the 4th record request
    };
    EXPECT_THROW(rig.Read(Inputs(kBankC)), EProtocolCancel);
    EXPECT_EQ(rig.report.records.size(), 3u);
    EXPECT_EQ(rig.log.mid(rig.log.size() - 2), QStringList({"Close", "end failing"}));
    EXPECT_EQ(rig.report.lastLine, rig.report.records.back().line);
}

// Minutes whose attempts all failed are left out, and counted.
TEST(BankReading, CountsTheMinutesThatAnswered) {
    struct Case {
        const char* name;
        std::set<int> silent;      // minutes without a reply
        std::set<int> wrongLength; // minutes whose reply is a frame of another length
        bool noNull;
        MinuteCount expected;
        std::vector<int> unanswered;
    };
    const Case cases[] = {
        {"every minute answers", {}, {}, false, {10, 10}, {}},
        {"two minutes silent", {482, 485}, {}, false, {8, 10}, {482, 485}},
        {"a reply of the wrong length is no record", {}, {489}, false, {9, 10}, {489}},
        {"left-out empty records were read", {480}, {}, true, {9, 10}, {480}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig rig;
        const auto normal = rig.instrument;
        rig.instrument = [&](const QByteArray& data) -> std::optional<QByteArray> {
            if (data.size() == 5 && c.silent.count(data.mid(1).toInt())) return std::nullopt;
            if (data.size() == 5 && c.wrongLength.count(data.mid(1).toInt())) return normal(data)->left(11);
            return normal(data);
        };
        BankReadingInputs inputs = Inputs(kBankC, "08:00", "08:09");
        inputs.noNull = c.noNull;
        EXPECT_EQ(ReadBank(rig.Services(), inputs, rig.report), c.expected);
        ASSERT_EQ(rig.report.counts.size(), 1u);
        EXPECT_EQ(rig.report.counts[0], c.expected);
        EXPECT_EQ(rig.report.unanswered, c.unanswered);
    }
}

TEST(BankReading, CountsWhatWasAskedBeforeACancelAndNothingForARefusal) {
    Rig cancelled;
    cancelled.link.beforeRequest = [](int n) {
        if (n == 6) throw EProtocolCancel(QStringLiteral("Canceled")); // the 4th record request
    };
    EXPECT_THROW(cancelled.Read(Inputs(kBankC)), EProtocolCancel);
    ASSERT_EQ(cancelled.report.counts.size(), 1u);
    EXPECT_EQ(cancelled.report.counts[0], (MinuteCount{3, 3}));

    Rig wrongInterval;
    EXPECT_EQ(ReadBank(wrongInterval.Services(), Inputs(kBankC, "10:00", "09:59"), wrongInterval.report),
              MinuteCount{});
    EXPECT_TRUE(wrongInterval.report.counts.empty());
}

TEST(ArchiveOutputs, TheListPanelShowsTheMinutesOfTheOperationSoFar) {
    RecordingList list;
    RecordingStatus status;
    VirtualClock clock;
    TArchiveReport report({list, status, QString(), {}, clock});
    report.Counted({1438, 1440});
    report.Counted({1440, 1440});
    EXPECT_EQ(list.summaries, QStringList({"1438 of 1440 minutes read", "2878 of 2880 minutes read"}));
}

TEST(WholeArchive, RefusalEndsOneBankCancelEndsAll) {
    Rig rig;
    rig.banks = {
        {'A', HeaderData('A', 0x01, 0x01, 0x24)},
        {'B', HeaderData('B', 0x02, 0x01, 0x24)},
        {'C', HeaderData('C', 0x03, 0x01, 0x24)},
    };
    QList<BankHeader> applied;
    const auto apply = [&](const QList<BankHeader>& banks) { applied = banks; };
    const auto selected = [&](int i) { return BankSelection{applied.at(i).bank, applied.at(i).date}; };
    // A wrong interval is told once per bank.
    ReadWholeArchive(rig.Services(), rig.report, apply, [&](int i) { return Inputs(selected(i), "02:00", "01:00"); });
    EXPECT_EQ(rig.op.messages.size(), 3);

    Rig cancelled;
    cancelled.banks = rig.banks;
    int readings = 0;
    cancelled.link.beforeRequest = [&](int) {
        if (cancelled.report.starts.size() == 2) throw EProtocolCancel(QStringLiteral("Canceled"));
    };
    EXPECT_THROW(ReadWholeArchive(cancelled.Services(), cancelled.report, apply,
                                  [&](int i) {
                                      ++readings;
                                      return Inputs(selected(i), "00:00", "00:01");
                                  }),
                 EProtocolCancel);
    EXPECT_EQ(readings, 2);

    Rig none;
    none.banks.clear();
    int selections = 0;
    ReadWholeArchive(none.Services(), none.report, apply, [&](int) {
        ++selections;
        return BankReadingInputs{};
    });
    EXPECT_EQ(selections, 0);
    EXPECT_EQ(none.status.Status(), kNoActiveBanks);
}

} // namespace
} // namespace zir::test
