#pragma once
// Scripted stand-ins for the instrument and the window, shared by the archive
// tests: the instrument's replies and its script for the fake link, and
// recorders for the operator and the outputs.

#include <QByteArray>
#include <QDate>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "archive/ArchiveReport.h"
#include "archive/BankReading.h"
#include "device/DeviceContext.h"
#include "link/ZebusModTransport.h"
#include "support/FakeDeviceLink.h"
#include "support/RecordingProgress.h"
#include "support/RecordingStatus.h"
#include "support/VirtualClock.h"

namespace zir::test {

inline const QString kTestAddress = QStringLiteral("10.20.30");

// Data bytes of a bank header reply: letter, two unused bytes, day, month, year (BCD).
inline QByteArray HeaderData(char letter, std::uint8_t day, std::uint8_t month, std::uint8_t year) {
    const char bytes[] = {letter, 0, 0, char(day), char(month), char(year)};
    return QByteArray(bytes, sizeof bytes);
}

// Data bytes of a record reply.
inline QByteArray RecordData(char letter, int index, std::uint16_t codeA, int uncA, std::uint16_t codeB, int uncB) {
    QByteArray data(1, letter);
    data += QByteArray::number(index).rightJustified(4, '0');
    data += char(0);
    data += char(uncB);
    data += char(codeB & 0xFF);
    data += char(codeB >> 8);
    data += char(uncA);
    data += char(codeA & 0xFF);
    data += char(codeA >> 8);
    return data;
}

// Data of a 27-byte clock reply naming the bank in use.
inline QByteArray ClockData(char bankLetter) {
    const char bytes[] = {0x00, 0x30, 0x14, 0x25, 0x12, 0x07, 0x00, 0x00, bankLetter};
    return QByteArray(bytes, sizeof bytes);
}

// An instrument's script for FakeDeviceLink::answer: the reply data for a
// request's data (nullopt: no reply), sent back from kTestAddress.
using ReplyDataScript = std::function<std::optional<QByteArray>(const QByteArray& requestData)>;
inline std::function<QByteArray(const QByteArray&)> AnsweringWith(ReplyDataScript script) {
    return [script = std::move(script)](const QByteArray& requestData) {
        const std::optional<QByteArray> reply = script(requestData);
        return reply ? BuildFrame(kTestAddress, kHostAddress, kKindRead, 0, *reply) : QByteArray();
    };
}

class ScriptedOperator final : public IOperatorDialogs {
public:
    Answer reply = Answer::No;
    QStringList questions;
    QStringList messages;
    Answer AskYesNoCancel(const QString& text) override {
        questions << text;
        return reply;
    }
    void ShowMessage(const QString& text) override { messages << text; }
};

class RecordingList final : public IArchiveList {
public:
    int shown = 0;
    QStringList lines;
    QStringList summaries;
    void Show() override { ++shown; }
    void AddLine(const QString& line) override { lines << line; }
    void ShowSummary(const QString& text) override { summaries << text; }
};

// Records the calls of a reading to its outputs into a log it shares with
// the progress (RecordingProgress), so the order "progress closed, then
// report ended" shows.
class RecordingReport final : public IArchiveReport {
public:
    explicit RecordingReport(QStringList& log) : log_(log) {}
    bool refuseStart = false;
    std::vector<ReportStart> starts;
    struct Rec {
        ArchiveRecord record;
        QString line;
        int requestedIndex;
        int row;
    };
    std::vector<Rec> records;
    std::vector<int> unanswered;
    std::vector<MinuteCount> counts;
    QString lastLine;

    bool Start(const ReportStart& s) override {
        starts.push_back(s);
        log_ << QStringLiteral("start");
        return !refuseStart;
    }
    void ShowList() override { log_ << QStringLiteral("list"); }
    void Heads(const QString& a, const QString& b) override { log_ << QStringLiteral("heads %1|%2").arg(a, b); }
    void Record(const ArchiveRecord& r, const QString& line, int i, int row) override {
        records.push_back({r, line, i, row});
    }
    void Unanswered(int requestedIndex) override { unanswered.push_back(requestedIndex); }
    void Counted(const MinuteCount& count) override { counts.push_back(count); }
    void End(const QString& last, bool failing) override {
        lastLine = last;
        log_ << (failing ? QStringLiteral("end failing") : QStringLiteral("end"));
    }
    void Abandon() override { log_ << QStringLiteral("abandon"); }

private:
    QStringList& log_;
};

} // namespace zir::test
