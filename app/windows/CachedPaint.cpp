#include "app/windows/CachedPaint.h"

#include <QApplication>
#include <QGuiApplication>
#include <QHashFunctions>
#include <QPaintDevice>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <memory>
#include <optional>

namespace zir {

namespace {
// Bytes of kept rows: a few screens of rows even in a wide window.
constexpr qsizetype kKeptBytes = 16 * 1024 * 1024;
constexpr qsizetype kKeptSizes = 1024;
// A bar of a list whose rows change width between a few values takes a few
// looks in turn.
constexpr qsizetype kKeptBarLooks = 16;

// The look of a row, or nothing for a row the style paints every time: one
// with an icon, a check box or a brush of its own, or on a ground that is
// not one colour.
std::optional<TCachedRowDelegate::RowLook> LookOf(const QStyleOptionViewItem& option, qreal pixelRatio) {
    constexpr auto kPlain =
        QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::Alternate | QStyleOptionViewItem::WrapText;
    if ((option.features & ~kPlain) != QStyleOptionViewItem::None) return std::nullopt;
    if (option.backgroundBrush.style() != Qt::NoBrush) return std::nullopt;
    if (option.palette.brush(QPalette::Base).style() != Qt::SolidPattern) return std::nullopt;
    TCachedRowDelegate::RowLook look;
    look.text = option.text;
    look.size = option.rect.size();
    look.state = static_cast<quint32>(option.state);
    look.features = static_cast<quint32>(option.features);
    look.elideMode = static_cast<int>(option.textElideMode);
    look.alignment = static_cast<int>(option.displayAlignment);
    look.decorationSelected = option.showDecorationSelected;
    look.font = option.font;
    look.palette = option.palette.cacheKey();
    look.pixelRatio = pixelRatio;
    return look;
}
} // namespace

size_t qHash(const TCachedRowDelegate::RowLook& look, size_t seed) noexcept {
    return qHashMulti(seed, look.text, look.size.width(), look.size.height(), look.state, look.features, look.elideMode,
                      look.alignment, look.decorationSelected, look.font, look.palette, look.pixelRatio);
}

TCachedRowDelegate::TCachedRowDelegate(QObject* parent)
    : QStyledItemDelegate(parent), rows_(kKeptBytes), sizes_(kKeptSizes) {}

void TCachedRowDelegate::TakeLine(const QString& line, const QFontMetrics& metrics) {
    if (metrics.horizontalAdvance(line) > metrics.horizontalAdvance(widest_)) widest_ = line;
}

QSize TCachedRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QVariant given = index.data(Qt::SizeHintRole);
    if (given.isValid()) return given.toSize();
    QStyleOptionViewItem styled = option;
    initStyleOption(&styled, index);
    if (!widest_.isEmpty() &&
        styled.fontMetrics.horizontalAdvance(widest_) > styled.fontMetrics.horizontalAdvance(styled.text))
        styled.text = widest_;
    return Measured(styled);
}

QSize TCachedRowDelegate::Measured(QStyleOptionViewItem styled) const {
    // The size does not depend on where the row is; a wrapping row's does on
    // its width, which stays in the key.
    if ((styled.features & QStyleOptionViewItem::WrapText) == QStyleOptionViewItem::None) styled.rect = QRect();
    std::optional<RowLook> look = LookOf(styled, 1.0);
    if (look) {
        if (const QSize* kept = sizes_.object(*look)) return *kept;
    }
    ++styleMeasures_;
    const QStyle* style = styled.widget ? styled.widget->style() : QApplication::style();
    const QSize size = style->sizeFromContents(QStyle::CT_ItemViewItem, &styled, QSize(), styled.widget);
    if (look) sizes_.insert(*look, new QSize(size));
    return size;
}

void TCachedRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem styled = option;
    initStyleOption(&styled, index);
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    std::optional<RowLook> look = styled.rect.isEmpty() ? std::nullopt : LookOf(styled, ratio);
    if (!look) {
        ++stylePaints_;
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    // A row on the bare ground whose text fits, left aligned, looks the same
    // in any rect at least as wide as the text needs: such a row is painted
    // and kept at that width (the key's width 0), whatever width the list
    // gives it now. A list of rows of one size takes that size from its last
    // row, so it changes as lines of other lengths are added.
    constexpr QStyle::State kMarked = QStyle::State_Selected | QStyle::State_HasFocus | QStyle::State_MouseOver;
    const bool bare = (styled.state & kMarked) == QStyle::State_None &&
                      (styled.features & (QStyleOptionViewItem::Alternate | QStyleOptionViewItem::WrapText)) ==
                          QStyleOptionViewItem::None &&
                      styled.direction == Qt::LeftToRight &&
                      (styled.displayAlignment & Qt::AlignHorizontal_Mask) == Qt::AlignLeft;
    const int width = look->size.width();
    if (bare) {
        look->size.setWidth(0);
        const QPixmap* kept = rows_.object(*look);
        if (kept && kept->deviceIndependentSize().width() <= width) {
            painter->drawPixmap(styled.rect.topLeft(), *kept);
            return;
        }
        const int natural = Measured(styled).width();
        if (natural > width)
            look->size.setWidth(width);
        else
            styled.rect.setWidth(natural);
    }
    if (look->size.width() != 0) {
        if (const QPixmap* kept = rows_.object(*look)) {
            painter->drawPixmap(styled.rect.topLeft(), *kept);
            return;
        }
    }
    // The row painted on the list's ground as the view would paint it, then
    // kept and copied in place.
    QStyleOptionViewItem drawn = option;
    drawn.rect = styled.rect;
    auto row = std::make_unique<QPixmap>(drawn.rect.size() * ratio);
    row->setDevicePixelRatio(ratio);
    row->fill(styled.palette.color(QPalette::Base));
    {
        QPainter rowPainter(row.get());
        rowPainter.setRenderHints(painter->renderHints());
        rowPainter.translate(-drawn.rect.topLeft());
        ++stylePaints_;
        QStyledItemDelegate::paint(&rowPainter, drawn, index);
    }
    painter->drawPixmap(drawn.rect.topLeft(), *row);
    const qsizetype bytes = static_cast<qsizetype>(row->width()) * row->height() * 4;
    rows_.insert(*look, row.release(), bytes);
}

size_t qHash(const TCachedScrollBar::BarLook& look, size_t seed) noexcept {
    return qHashMulti(seed, look.size.width(), look.size.height(), look.slider.x(), look.slider.y(),
                      look.slider.width(), look.slider.height(), look.state, look.atMinimum, look.atMaximum, look.empty,
                      look.direction, look.palette, look.pixelRatio);
}

TCachedScrollBar::TCachedScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QScrollBar(orientation, parent), looks_(kKeptBarLooks) {}

void TCachedScrollBar::paintEvent(QPaintEvent* event) {
    // Under the mouse or pressed the bar shows which part is hovered or held,
    // which only the base class knows.
    if (underMouse() || QGuiApplication::mouseButtons() != Qt::NoButton) {
        ++stylePaints_;
        QScrollBar::paintEvent(event);
        return;
    }
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_All;
    option.activeSubControls = QStyle::SC_None;
    const qreal ratio = devicePixelRatioF();
    BarLook look;
    look.size = size();
    look.slider = style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
    look.state = static_cast<quint32>(option.state);
    look.atMinimum = option.sliderValue == option.minimum;
    look.atMaximum = option.sliderValue == option.maximum;
    look.empty = option.minimum == option.maximum;
    look.direction = static_cast<int>(option.direction);
    look.palette = option.palette.cacheKey();
    look.pixelRatio = ratio;
    const QPixmap* kept = looks_.object(look);
    if (!kept) {
        // On the ground the bar's parent shows through where the style
        // leaves pixels unpainted.
        auto painted = std::make_unique<QPixmap>(size() * ratio);
        painted->setDevicePixelRatio(ratio);
        painted->fill(palette().color(QPalette::Window));
        {
            QPainter barPainter(painted.get());
            ++stylePaints_;
            style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &barPainter, this);
        }
        kept = painted.get();
        looks_.insert(look, painted.release());
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, *kept);
}

} // namespace zir
