#pragma once
// The progress window of tests: keeps its maximum, its last position and the
// calls made to it, in order ("Prepare 14", "Show", "Set 3", "Close").

#include <QStringList>

#include "device/DeviceContext.h"

namespace zir::test {

class RecordingProgress final : public IProgress {
public:
    // Every call goes to `calls`, a list of its own.
    RecordingProgress() : calls(ownCalls_) {}
    // The calls that open and close the window go to `sharedLog`, a list
    // other recorders write too, so that the order across them shows; the
    // positions (hundreds in a bank reading) are only kept in `position`.
    explicit RecordingProgress(QStringList& sharedLog) : calls(sharedLog), logPositions_(false) {}
    RecordingProgress(const RecordingProgress&) = delete;
    RecordingProgress& operator=(const RecordingProgress&) = delete;

private:
    QStringList ownCalls_;

public:
    QStringList& calls;
    int maxValue = -1;
    int position = -1;

    void Prepare(int max) override {
        maxValue = max;
        calls << QStringLiteral("Prepare %1").arg(max);
    }
    void Show() override { calls << QStringLiteral("Show"); }
    void SetProgress(int newPosition) override {
        position = newPosition;
        if (logPositions_) calls << QStringLiteral("Set %1").arg(newPosition);
    }
    void Close() override { calls << QStringLiteral("Close"); }

private:
    bool logPositions_ = true;
};

} // namespace zir::test
