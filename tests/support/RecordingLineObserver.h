#pragma once
// Keeps every line event the exchange reports, and gives each a short
// digest without times or bytes ("TX #1 20 B", "RX 27 B rejected: length",
// "END #2 reply"), so a test compares whole sequences in one line.

#include <QList>
#include <QStringList>
#include <algorithm>

#include "link/LineObserver.h"

namespace zir::test {

inline QString Digest(const LineEvent& event) {
    switch (event.kind) {
    case LineEvent::Kind::Sent: return QStringLiteral("TX #%1 %2 B").arg(event.attempt).arg(event.bytes.size());
    case LineEvent::Kind::Read:
        return QStringLiteral("RX %1 B %2%3")
            .arg(event.bytes.size())
            .arg(VerdictText(event.check))
            .arg(event.strayBytes > 0 ? QStringLiteral(", %1 stray").arg(event.strayBytes) : QString());
    case LineEvent::Kind::RequestEnd:
        return QStringLiteral("END #%1 %2").arg(event.attempt).arg(OutcomeText(event.outcome));
    }
    return {};
}

class RecordingLineObserver final : public ILineObserver {
public:
    QList<LineEvent> events;
    void OnLineEvent(const LineEvent& event) override { events.append(event); }

    QStringList Digests() const {
        QStringList digests;
        for (const LineEvent& event : events) digests << Digest(event);
        return digests;
    }
    // The digests without the reads that brought nothing: how many of those
    // a window holds depends on real timing.
    QStringList DigestsWithoutSilence() const {
        QStringList digests;
        for (const LineEvent& event : events) {
            if (event.kind != LineEvent::Kind::Read || !event.bytes.isEmpty()) digests << Digest(event);
        }
        return digests;
    }
    QList<LineEvent> OfKind(LineEvent::Kind kind) const {
        QList<LineEvent> found;
        std::copy_if(events.begin(), events.end(), std::back_inserter(found),
                     [kind](const LineEvent& e) { return e.kind == kind; });
        return found;
    }
};

} // namespace zir::test
