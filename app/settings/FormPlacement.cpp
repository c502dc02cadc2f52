#include "app/settings/FormPlacement.h"

#include "app/settings/IniFile.h"
#include "app/settings/IniLocation.h"
#include "core/Errors.h"

#include <QCoreApplication>
#include <QDebug>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace zir {

namespace {

// The maximised position a save writes: minus the thin border's width and
// height, as a window of a single fixed border has it.
constexpr QPoint ResetMaximizedPosition{-1, -1};

QString SizeSuffix(const ScreenInfo& screen) {
    return QStringLiteral("(%1x%2)").arg(screen.size.width()).arg(screen.size.height());
}

QString FourNumbers(int a, int b, int c, int d) { return QStringLiteral("%1,%2,%3,%4").arg(a).arg(b).arg(c).arg(d); }

// The value's words, separated by commas and blanks; a missing word or one
// that is no integer gives the fallback.
class Words {
public:
    explicit Words(const QString& value)
        : words_(value.split(QRegularExpression(QStringLiteral("[, ]")), Qt::SkipEmptyParts)) {}
    int At(qsizetype index, int fallback) const {
        if (index >= words_.size()) return fallback;
        bool ok = false;
        const int number = words_[index].toInt(&ok, 10);
        return ok ? number : fallback;
    }

private:
    QStringList words_;
};

// The key's value under the screen-size suffix, or under the plain key when
// that is empty.
QString ReadSuffixedOrPlain(const IniFile& ini, const QString& section, const QString& key, const QString& suffix) {
    const QString suffixed = ini.ReadString(section, key + suffix, QString());
    return suffixed.isEmpty() ? ini.ReadString(section, key, QString()) : suffixed;
}

// What of a window must stay on the desktop so that the operator can reach
// it: its top edge (the title bar) and this many pixels of its width and
// height (all of it when it is smaller).
constexpr std::int64_t kInSight = 100;

// The window's frame rectangle from a stored corner and size, kept in sight:
// on a known desktop no larger than the desktop, with its top edge on it and
// enough of it on the desktop to be reached (a position on a screen that is
// no longer there, or beyond any screen, is moved back the least way; one
// that is only partly off the desktop stays); elsewhere within the
// coordinates a window may have.
QRect KeptInSight(std::int64_t left, std::int64_t top, std::int64_t width, std::int64_t height,
                  const QRect& available) {
    if (available.isEmpty()) {
        constexpr std::int64_t limit = QWIDGETSIZE_MAX;
        width = std::clamp<std::int64_t>(width, 1, limit);
        height = std::clamp<std::int64_t>(height, 1, limit);
        left = std::clamp<std::int64_t>(left, -limit, limit);
        top = std::clamp<std::int64_t>(top, -limit, limit);
    } else {
        const std::int64_t availLeft = available.left(), availTop = available.top();
        const std::int64_t availRight = availLeft + available.width(), availBottom = availTop + available.height();
        width = std::clamp<std::int64_t>(width, 1, available.width());
        height = std::clamp<std::int64_t>(height, 1, available.height());
        const std::int64_t seenWide = std::min(width, kInSight), seenHigh = std::min(height, kInSight);
        left = std::clamp<std::int64_t>(left, availLeft - (width - seenWide), availRight - seenWide);
        top = std::clamp<std::int64_t>(top, availTop, availBottom - seenHigh);
    }
    return QRect(static_cast<int>(left), static_cast<int>(top), static_cast<int>(width), static_cast<int>(height));
}

} // namespace

ScreenInfo PrimaryScreenInfo() {
    ScreenInfo info;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        info.size = screen->size();
        info.pixelsPerInch = static_cast<int>(std::lround(screen->logicalDotsPerInch()));
        info.available = screen->availableVirtualGeometry();
    }
    return info;
}

TFormPlacement::TFormPlacement(QWidget* form) : QObject(form), form_(form), screen_(&PrimaryScreenInfo) {}

void TFormPlacement::SetScreenProbe(std::function<ScreenInfo()> probe) { screen_ = std::move(probe); }

void TFormPlacement::SetErrorReporter(std::function<void(const QString&)> report) { report_ = std::move(report); }

QString TFormPlacement::IniFilePath() const { return ResolveIniFilePath(IniFileName); }

QString TFormPlacement::Section() const {
    if (!IniSection.isEmpty() || !form_) return IniSection;
    QString name = QString::fromLatin1(form_->metaObject()->className());
    const qsizetype scope = name.lastIndexOf(QStringLiteral("::"));
    return scope < 0 ? name : name.mid(scope + 2);
}

void TFormPlacement::Attach() {
    if (attached_ || !form_) return;
    attached_ = true;
    Loaded();
    form_->installEventFilter(this);
    // Program end without a close of the window still saves, as the
    // destroy hook would.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &TFormPlacement::FormDestroy);
}

bool TFormPlacement::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_ && event->type() == QEvent::Show && !shown_) {
        shown_ = true;
        if (Active) Restore();
    } else if (watched == form_ && event->type() == QEvent::Paint && pendingFrameCorner_) {
        // The window manager has framed the window by its first paint.
        const QPoint corner = *pendingFrameCorner_;
        pendingFrameCorner_.reset();
        if (form_->frameGeometry().topLeft() != form_->geometry().topLeft()) form_->move(corner);
    }
    return false;
}

void TFormPlacement::CloseQuery() {
    if (Active && form_ && form_->testAttribute(Qt::WA_WState_Created)) SaveReporting();
}

void TFormPlacement::FormDestroy() {
    if (!Active || saved_ || !form_) return;
    destroying_ = true;
    SaveReporting();
    destroying_ = false;
}

void TFormPlacement::SaveReporting() {
    try {
        Save();
    } catch (const EZirError& error) {
        // The attempt counts as the save of this close: the window closes
        // and a second attempt at program end would only repeat the box.
        saved_ = true;
        if (report_)
            report_(error.message());
        else
            qWarning().noquote() << error.message();
    }
}

void TFormPlacement::Restore() {
    saved_ = false;
    try {
        // Saves a killed program cut short leave their temporary files.
        IniFile::RemoveLeftovers(IniFilePath());
        IniFile ini(IniFilePath());
        ini.Load();
        const QString section = Section();
        if (ini.ReadInteger(section, QStringLiteral("FormVersion"), 0) >= Version) {
            if (Options.testFlag(fpPosition)) RestorePosition(ini, section, screen_());
            restored_ = true;
            RestoreProperties(ini, section);
        }
    } catch (const std::exception& error) {
        // Settings that cannot be read never keep the program from starting.
        qWarning().noquote() << "Settings not restored:" << error.what();
    }
    restored_ = true;
    maximizedPosition_ = ResetMaximizedPosition;
}

void TFormPlacement::RestorePosition(const IniFile& ini, const QString& section, const ScreenInfo& screen) {
    const QString suffix = SizeSuffix(screen);
    const QRect frame = form_->frameGeometry();

    bool found = false;
    QPoint minimized = minimizedPosition_;
    const QString minMax = ReadSuffixedOrPlain(ini, section, QStringLiteral("MinMaxPos"), suffix);
    if (!minMax.isEmpty()) {
        found = true;
        const Words words(minMax);
        minimized = QPoint(words.At(0, 0), words.At(1, 0));
    }

    int left = frame.left(), top = frame.top();
    int right = left + frame.width(), bottom = top + frame.height();
    const QString norm = ReadSuffixedOrPlain(ini, section, QStringLiteral("NormPos"), suffix);
    if (!norm.isEmpty()) {
        found = true;
        const Words words(norm);
        left = words.At(0, left);
        top = words.At(1, top);
        right = words.At(2, right);
        bottom = words.At(3, bottom);
    }

    const int pixelsPerInch = ini.ReadInteger(section, QStringLiteral("PixelsPerInch"), screen.pixelsPerInch);
    if (!found || pixelsPerInch != screen.pixelsPerInch) return;
    // A stored rectangle that is empty or turned over is no position.
    if (right <= left) return;

    const bool fixed = FixedSize();
    // Only the top-left corner of a window of fixed size comes back; the size
    // stays as designed. Sizes are taken in 64 bits: the words may be any
    // 32-bit numbers, whose differences do not fit an int.
    const std::int64_t width = fixed ? frame.width() : std::int64_t(right) - left;
    const std::int64_t height = fixed ? frame.height() : std::max<std::int64_t>(std::int64_t(bottom) - top, 1);
    const QRect target = KeptInSight(left, top, width, height, screen.available);

    minimizedPosition_ = minimized;
    form_->move(target.topLeft());
    // Until the window manager has framed the window (the restore runs as it
    // is being shown), move() takes the point for the client area's corner:
    // the window would come back lower by its title bar at every start. The
    // corner is set again once the frame is known.
    if (!form_->testAttribute(Qt::WA_Mapped)) pendingFrameCorner_ = target.topLeft();
    if (!fixed) form_->resize(target.size() - (frame.size() - form_->size()));
    form_->update();
}

void TFormPlacement::Save() {
    if (!restored_ || !form_) return;
    IniFile ini(IniFilePath());
    ini.Load();
    const QString section = Section();
    ini.WriteString(section, QStringLiteral("FormVersion"), QString::number(Version));
    SavePosition(ini, section, screen_());
    ini.WriteString(section, QStringLiteral("Visible"), destroying_ ? QStringLiteral("1") : QStringLiteral("0"));
    SaveProperties(ini, section);
    ini.Save();
    saved_ = true;
}

void TFormPlacement::SavePosition(IniFile& ini, const QString& section, const ScreenInfo& screen) const {
    const QString suffix = SizeSuffix(screen);
    const bool minimized = form_->isMinimized();
    const int showCmd = minimized ? 2 : form_->isMaximized() ? 3 : 1;
    const int flags = minimized && form_->windowState().testFlag(Qt::WindowMaximized) ? 2 : 0;
    const QRect normal = NormalFrameRect();
    const QString minMax =
        FourNumbers(minimizedPosition_.x(), minimizedPosition_.y(), maximizedPosition_.x(), maximizedPosition_.y());
    const QString norm =
        FourNumbers(normal.left(), normal.top(), normal.left() + normal.width(), normal.top() + normal.height());

    ini.WriteString(section, QStringLiteral("Flags"), QString::number(flags));
    ini.WriteString(section, QStringLiteral("ShowCmd"), QString::number(showCmd));
    ini.WriteString(section, QStringLiteral("PixelsPerInch"), QString::number(screen.pixelsPerInch));
    ini.WriteString(section, QStringLiteral("MinMaxPos") + suffix, minMax);
    ini.WriteString(section, QStringLiteral("MinMaxPos"), minMax);
    ini.WriteString(section, QStringLiteral("NormPos") + suffix, norm);
    ini.WriteString(section, QStringLiteral("NormPos"), norm);
}

// The frame rectangle the window has, or would have again when it is
// minimised or maximised.
QRect TFormPlacement::NormalFrameRect() const {
    const QRect frame = form_->frameGeometry();
    if (!form_->isMinimized() && !form_->isMaximized()) return frame;
    const QRect client = form_->geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    return form_->normalGeometry().marginsAdded(margins);
}

bool TFormPlacement::FixedSize() const { return form_->minimumSize() == form_->maximumSize(); }

void TFormPlacement::RestoreProperties(const IniFile&, const QString&) {}

void TFormPlacement::SaveProperties(IniFile&, const QString&) {}

} // namespace zir
