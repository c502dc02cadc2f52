// Fault injection: each spoiled reply is what the tool's exchange must
// absorb, and the plan picks the right requests.
#include <gtest/gtest.h>

#include "link/ZebusModTransport.h"
#include "sim/Faults.h"

using namespace zir;
using namespace zir::sim;

namespace {

Instrument MakeInstrument() {
    const QDateTime clock(QDate(2007, 12, 25), QTime(14, 30));
    return Instrument(DefaultState(clock.date()), [clock] { return clock; });
}

QByteArray Request(const QByteArray& data, std::uint8_t kind = kKindRead) {
    return BuildFrame(QStringLiteral("255.255.255"), kHostAddress, kind, kControlRequest, data);
}

const QByteArray kCoefficientWrite("T1\0\x64\0\x64\xEC\x64\x0C", 9);

struct SpoilCase {
    FaultKind kind;
    QByteArray request;
    std::uint8_t requestKind;
    int length;           // -1: nothing is sent
    FrameVerdict verdict; // of what is sent
};

TEST(Faults, EachKindSpoilsTheReplyAsNamed) {
    const SpoilCase cases[] = {
        {FaultKind::Silent, "XT", kKindRead, -1, FrameVerdict::NoReply},
        {FaultKind::Short, "XT", kKindRead, 8, FrameVerdict::PacketError},
        {FaultKind::BadHeader, "XT", kKindRead, 27, FrameVerdict::Rejected},
        {FaultKind::BadData, "XT", kKindRead, 27, FrameVerdict::Rejected},
        {FaultKind::BadData, kCoefficientWrite, kKindWrite, 14, FrameVerdict::Rejected},
        {FaultKind::WrongLength, "XT", kKindRead, 14, FrameVerdict::Accepted},
        {FaultKind::WrongLength, "A0001", kKindRead, 14, FrameVerdict::Accepted},
        {FaultKind::WrongLength, kCoefficientWrite, kKindWrite, 19, FrameVerdict::Accepted},
        {FaultKind::Trailing, "AV", kKindRead, 27, FrameVerdict::Rejected},
        {FaultKind::Trailing, kCoefficientWrite, kKindWrite, 17, FrameVerdict::Accepted},
    };
    for (const SpoilCase& c : cases) {
        Instrument instrument = MakeInstrument();
        const Answer answer = instrument.Handle(Request(c.request, c.requestKind));
        ASSERT_TRUE(answer.reply) << c.request.toHex().constData();
        FaultPlan plan;
        plan.kind = c.kind;
        FaultInjector faults(plan);
        const Outcome out = faults.Apply(answer, instrument);
        const QString what =
            QStringLiteral("fault %1 on %2").arg(int(c.kind)).arg(QString::fromLatin1(c.request.toHex()));
        if (c.length < 0) {
            EXPECT_FALSE(out.bytes) << what.toStdString();
            continue;
        }
        ASSERT_TRUE(out.bytes) << what.toStdString();
        EXPECT_EQ(out.bytes->size(), c.length) << what.toStdString();
        EXPECT_EQ(ValidateFrame(*out.bytes), c.verdict) << what.toStdString();
        EXPECT_NE(*out.bytes, *answer.reply) << what.toStdString();
        if (c.kind == FaultKind::Trailing) {
            EXPECT_TRUE(out.bytes->startsWith(*answer.reply)) << "the frame itself stays whole";
        }
    }
}

// Sends `requests` in order and tells, for each, whether anything was sent
// back and whether it was the instrument's true reply.
std::string Outcomes(const FaultPlan& plan, const QList<QByteArray>& requests) {
    Instrument instrument = MakeInstrument();
    FaultInjector faults(plan);
    std::string marks;
    for (const QByteArray& r : requests) {
        const Answer answer = instrument.Handle(r);
        const Outcome out = faults.Apply(answer, instrument);
        marks += !out.bytes ? '-' : (out.bytes == answer.reply ? 'A' : 'F');
    }
    return marks;
}

TEST(Faults, PlanPicksRequestsByCommandAndCount) {
    const QByteArray xt = Request("XT"), xw = Request("XW"), rec = Request("A0001");
    const QByteArray write = Request(kCoefficientWrite, kKindWrite);
    const QByteArray foreign = BuildFrame(QStringLiteral("1.2.3"), kHostAddress, kKindRead, kControlRequest, "XT");

    FaultPlan answerFromThird;
    answerFromThird.answerFrom = 3;
    answerFromThird.commands = {CommandGroup::XT};
    EXPECT_EQ(Outcomes(answerFromThird, {xt, xw, foreign, xt, xt, xt}), "-A--AA")
        << "only XT requests for this instrument count";

    FaultPlan shortOnce;
    shortOnce.kind = FaultKind::Short;
    shortOnce.faultCount = 1;
    EXPECT_EQ(Outcomes(shortOnce, {rec, rec, rec}), "FAA");

    FaultPlan silentWrites;
    silentWrites.kind = FaultKind::Silent;
    silentWrites.commands = *ParseCommandGroups(QStringLiteral("WRITE"));
    EXPECT_EQ(Outcomes(silentWrites, {write, xt, write}), "-A-");

    FaultPlan lateThenSpoiled;
    lateThenSpoiled.kind = FaultKind::BadHeader;
    lateThenSpoiled.answerFrom = 2;
    lateThenSpoiled.faultCount = 1;
    EXPECT_EQ(Outcomes(lateThenSpoiled, {xt, xt, xt}), "-FA");
}

TEST(Faults, DelayAppliesOnlyToCoveredCommands) {
    Instrument instrument = MakeInstrument();
    FaultPlan plan;
    plan.delayMs = 250;
    plan.commands = {CommandGroup::REC};
    FaultInjector faults(plan);
    EXPECT_EQ(faults.Apply(instrument.Handle(Request("A0001")), instrument).delayMs, 250);
    EXPECT_EQ(faults.Apply(instrument.Handle(Request("XT")), instrument).delayMs, 0);
}

TEST(Faults, CommandNamesParse) {
    EXPECT_EQ(ParseCommandGroups(QStringLiteral("xt, REC")), (std::set{CommandGroup::XT, CommandGroup::REC}));
    EXPECT_EQ(ParseCommandGroups(QStringLiteral("WRITE"))->size(), 3u);
    EXPECT_FALSE(ParseCommandGroups(QStringLiteral("XT,READ")));
    EXPECT_FALSE(ParseCommandGroups(QString()));
    EXPECT_FALSE(ParseFaultKind(QStringLiteral("bad_header")));
}

} // namespace
