#include "app/windows/UProgressBar.h"

#include <QHideEvent>
#include <QKeyEvent>
#include <QPainter>
#include <climits>

namespace zir {

TGauge::TGauge(QWidget* parent)
    : QWidget(parent), pacer_([this] {
          ++repaintRequests_;
          update();
      }) {
    setObjectName(QStringLiteral("Gauge"));
    setCursor(Qt::WaitCursor);
    setMinimumSize(100, 20);
}

void TGauge::SetMaxValue(int value) {
    if (value < minValue_) {
        throw ERangeError(QStringLiteral("Value must be between %1 and %2").arg(minValue_).arg(INT_MAX));
    }
    ChangeValues(value, qMin(progress_, value));
}

void TGauge::SetProgress(int value) { ChangeValues(maxValue_, qBound(minValue_, value, maxValue_)); }

int TGauge::PercentDone() const {
    const long long range = static_cast<long long>(maxValue_) - minValue_;
    if (range == 0) return 0;
    return static_cast<int>((static_cast<long long>(progress_) - minValue_) * 100 / range);
}

void TGauge::ChangeValues(int maxValue, int progress) {
    const int before = PercentDone();
    maxValue_ = maxValue;
    progress_ = progress;
    if (PercentDone() != before) pacer_.Request();
}

void TGauge::PaintIfDue() {
    if (pacer_.PaintIfDue() && isVisible()) repaint();
}

void TGauge::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(rect(), Qt::white);
    const QRect inside = frame.adjusted(1, 1, 0, 0);
    const int filled = inside.width() * PercentDone() / 100;
    const QRect bar(inside.left(), inside.top(), filled, inside.height());
    painter.fillRect(bar, Qt::black);

    // The text is black over the white part and white over the bar.
    const QString text = QStringLiteral("%1%").arg(PercentDone());
    painter.setPen(Qt::black);
    painter.drawText(inside, Qt::AlignCenter, text);
    painter.save();
    painter.setClipRect(bar);
    painter.setPen(Qt::white);
    painter.drawText(inside, Qt::AlignCenter, text);
    painter.restore();

    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(frame);
}

TFProgressBar::TFProgressBar(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::CustomizeWindowHint) {
    setObjectName(QStringLiteral("FProgressBar"));
    setWindowTitle(QStringLiteral("Refresing data"));
    setCursor(Qt::WaitCursor);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFixedSize(578, 68);
    Gauge = new TGauge(this);
    Gauge->setGeometry(8, 8, 561, 52);
    Gauge->SetMaxValue(kGaugeInitialMax);
}

void TFProgressBar::ShowOver(const QWidget* owner) {
    if (owner) {
        const QRect area = owner->frameGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    show();
    raise();
}

void TFProgressBar::keyPressEvent(QKeyEvent* event) { event->accept(); }

void TFProgressBar::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    if (event->spontaneous()) return; // minimised with its owner: it comes back as it was
    // Not while Qt is still hiding it; by then it may have been shown again.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (isHidden() && windowHandle()) destroy();
        },
        Qt::QueuedConnection);
}

} // namespace zir
