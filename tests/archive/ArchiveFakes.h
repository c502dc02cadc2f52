#pragma once
// Scripted stand-ins for the instrument and the window, shared by the archive
// tests: an instrument answering from per-command scripts, and recorders for
// the status line, the progress window, the operator and the outputs.

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
#include "support/VirtualClock.h"
#include "device/DeviceContext.h"
#include "link/ZebusModTransport.h"
#include "support/RecordingStatus.h"

namespace zir::test {

inline const QString kTestAddress = QStringLiteral("10.20.30");

// Data bytes of a bank header reply: letter, two unused bytes, day, month, year (BCD).
inline QByteArray HeaderData(char letter, std::uint8_t day, std::uint8_t month, std::uint8_t year) {
    const char bytes[] = {letter, 0, 0, char(day), char(month), char(year)};
    return QByteArray(bytes, sizeof bytes);
}

// Data bytes of a record reply.
inline QByteArray RecordData(char letter, int index, std::uint16_t codeA, int uncA,
                             std::uint16_t codeB, int uncB) {
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

// Answers each request from a script keyed by its data; a request without an
// answer gets none. failAt(n) makes the n-th request (from 1) throw, as an
// Escape press does.
class ScriptedInstrument final : public IDeviceLink {
public:
    std::function<std::optional<QByteArray>(const QByteArray& requestData)> answer;
    std::function<void(int requestNumber)> beforeRequest;
    std::vector<QByteArray> requests;  // data of every request, in order

    QByteArray Request(const QByteArray& frame) override {
        const QByteArray data = frame.mid(kFrameHeaderSize, frame.size() - kFrameHeaderSize - 4);
        requests.push_back(data);
        if (beforeRequest) beforeRequest(int(requests.size()));
        if (!answer) return {};
        const std::optional<QByteArray> reply = answer(data);
        if (!reply) return {};
        return BuildFrame(kTestAddress, kHostAddress, kKindRead, 0, *reply);
    }

    int CountStartingWith(char c) const {
        int n = 0;
        for (const QByteArray& r : requests) n += r.startsWith(c) ? 1 : 0;
        return n;
    }
};

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
    void Show() override { ++shown; }
    void AddLine(const QString& line) override { lines << line; }
};

// Records the calls of a reading to its outputs; progress events are
// interleaved so the order "progress closed, then report ended" shows.
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
    void End(const QString& last, bool failing) override {
        lastLine = last;
        log_ << (failing ? QStringLiteral("end failing") : QStringLiteral("end"));
    }
    void Abandon() override { log_ << QStringLiteral("abandon"); }

private:
    QStringList& log_;
};

// A scripted progress that writes into the same log as RecordingReport.
class LoggingProgress final : public IProgress {
public:
    explicit LoggingProgress(QStringList& log) : log_(log) {}
    int maxValue = -1;
    int position = -1;
    void Prepare(int max) override {
        maxValue = max;
        log_ << QStringLiteral("prepare %1").arg(max);
    }
    void Show() override { log_ << QStringLiteral("show"); }
    void SetProgress(int p) override { position = p; }
    void Close() override { log_ << QStringLiteral("close"); }

private:
    QStringList& log_;
};

} // namespace zir::test
