#pragma once
// Painting of a text list that grows while the operator watches it: every
// line added lays the list out again, which repaints all visible rows and
// both scroll bars and measures a row again, although none of them looks any
// different. These paint exactly as the style does, once, and keep what they
// painted; a later paint of the same look copies the kept pixmap.

#include <QCache>
#include <QFont>
#include <QFontMetrics>
#include <QPixmap>
#include <QRect>
#include <QScrollBar>
#include <QSize>
#include <QString>
#include <QStyledItemDelegate>

namespace zir {

// Rows of plain text: kept by text, size, state, font and palette.
class TCachedRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit TCachedRowDelegate(QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    // As the style measures the row, but at least as wide as the widest line
    // taken.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // A line of the list. A list of uniform item sizes (cheap to lay out for
    // a day of 1440 lines) measures one row for all; sized by the widest line
    // every row is whole and the list scrolls sideways to the end of the
    // longest, wherever it stands.
    void TakeLine(const QString& line, const QFontMetrics& metrics);
    // The list was emptied.
    void ClearLines() { widest_.clear(); }

    // Rows painted and measured by the style so far (each one not found
    // among the kept rows and sizes).
    int StylePaints() const { return stylePaints_; }
    int StyleMeasures() const { return styleMeasures_; }

    // Everything the style's painting of a plain text row depends on.
    struct RowLook {
        QString text;
        QSize size;
        quint32 state = 0;
        quint32 features = 0;
        int elideMode = 0;
        int alignment = 0;
        bool decorationSelected = false;
        QFont font;
        qint64 palette = 0;
        qreal pixelRatio = 1;
        bool operator==(const RowLook& other) const = default;
    };

private:
    // The style's size of the row, kept by its look.
    QSize Measured(QStyleOptionViewItem styled) const;

    QString widest_;
    mutable QCache<RowLook, QPixmap> rows_;
    mutable QCache<RowLook, QSize> sizes_;
    mutable int stylePaints_ = 0;
    mutable int styleMeasures_ = 0;
};

size_t qHash(const TCachedRowDelegate::RowLook& look, size_t seed = 0) noexcept;

// A scroll bar that keeps its paintings while no mouse is over it or
// pressing it: the look is the same as long as the size, the slider's place
// and length in pixels, the ends reached and the state are. A bar whose range
// grows by a line keeps its slider on the same pixels most of the time.
class TCachedScrollBar final : public QScrollBar {
    Q_OBJECT

public:
    explicit TCachedScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    // Paintings by the style so far.
    int StylePaints() const { return stylePaints_; }

    struct BarLook {
        QSize size;
        QRect slider;
        quint32 state = 0;
        bool atMinimum = false;
        bool atMaximum = false;
        bool empty = false;
        int direction = 0;
        qint64 palette = 0;
        qreal pixelRatio = 1;
        bool operator==(const BarLook& other) const = default;
    };

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QCache<BarLook, QPixmap> looks_;
    int stylePaints_ = 0;
};

size_t qHash(const TCachedScrollBar::BarLook& look, size_t seed = 0) noexcept;

} // namespace zir
