#pragma once
// The progress window of device operations: a bar gauge with its percentage.

#include <QWidget>

#include "app/windows/PaintPacer.h"
#include "core/Errors.h"

namespace zir {

// A gauge maximum below the minimum; the message names the allowed range.
class ERangeError : public EZirError {
public:
    using EZirError::EZirError;
};

// The gauge's maximum until an operation prepares it.
inline constexpr int kGaugeInitialMax = 288;

// Horizontal bar gauge: black bar filling from the left on a white ground,
// the whole percentage centred as "%d%%".
class TGauge : public QWidget {
    Q_OBJECT

public:
    explicit TGauge(QWidget* parent = nullptr);

    int MinValue() const { return minValue_; }
    int MaxValue() const { return maxValue_; }
    int Progress() const { return progress_; }
    // Throws ERangeError below the minimum; lowers Progress to the new maximum.
    void SetMaxValue(int value);
    // Kept within minimum and maximum.
    void SetProgress(int value);
    // (Progress - min) * 100 / (max - min), truncated; 0 when max equals min.
    int PercentDone() const;
    // Times the gauge asked to be repainted: only when the percentage
    // changes, and at most about 30 times a second (a change that comes
    // sooner is painted once the interval has passed).
    int RepaintRequests() const { return repaintRequests_; }
    // A paint moment: a held-back change whose time has come is painted at once.
    void PaintIfDue();
    // True while a change of the percentage waits for its repaint.
    bool RepaintHeldBack() const { return pacer_.Pending(); }
    // The clock the interval between two repaints is measured on; nullptr is
    // steady time. Not owned.
    void SetClock(IClock* clock) { pacer_.SetClock(clock); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ChangeValues(int maxValue, int progress);

    int minValue_ = 0;
    int maxValue_ = 100;
    int progress_ = 0;
    int repaintRequests_ = 0;
    TPaintPacer pacer_;
};

class TFProgressBar : public QWidget {
    Q_OBJECT

public:
    explicit TFProgressBar(QWidget* parent = nullptr);

    TGauge* Gauge = nullptr;

    // Shows the window without modality, centred over `owner`.
    void ShowOver(const QWidget* owner);

protected:
    // Keys typed here do nothing.
    void keyPressEvent(QKeyEvent* event) override;
    // Once hidden (closed by the program or the operator), the window gives
    // its native window back; the next showing makes a new one. Qt keeps a
    // signal connection of every window that is hidden while it has the
    // focus, freed only with the native window: about 100 bytes for each
    // showing of this window, two a reading during auto refresh.
    void hideEvent(QHideEvent* event) override;
};

} // namespace zir
