#pragma once
// TFormPlacement keeps a window's position in the settings file: it restores
// it when the window is first shown and writes it when the window closes.
// TFormStorage (FormStorage.h) adds the window's stored fields.
//
// The placement keys and what they hold on X11:
//   Flags          0, or 2 when a minimised window goes back to maximised
//   ShowCmd        1 normal, 2 minimised, 3 maximised (written, not restored)
//   PixelsPerInch  the primary screen's logical resolution, rounded
//   MinMaxPos      minimised x,y and maximised x,y; X11 has no icon position,
//                  so these are carried through (-1 when unknown)
//   NormPos        the window frame's left, top, right and bottom in desktop
//                  pixels, right and bottom exclusive (left + width, top +
//                  height)
// MinMaxPos and NormPos are written twice: with the primary screen's size as
// a suffix, "NormPos(1920x1080)", and plain, the plain pair holding the last
// save and serving as the fallback on a screen of a size never seen before.

#include <QFlags>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

namespace zir {

class IniFile;

struct ScreenInfo {
    QSize size;             // primary screen, pixels
    int pixelsPerInch = 96; // its logical resolution
    QRect available;        // desktop area a window may use; empty: unknown
};

// The primary screen as the window system reports it now.
ScreenInfo PrimaryScreenInfo();

class TFormPlacement : public QObject {
    Q_OBJECT

public:
    enum PlacementOption { fpPosition = 0x1 };
    Q_DECLARE_FLAGS(PlacementOptions, PlacementOption)

    // The store belongs to the window (a child of it) and lives as long.
    explicit TFormPlacement(QWidget* form);

    // Configuration.
    bool Active = true;  // restore on show, save on close
    QString IniFileName; // empty: the default settings file
    QString IniSection;  // empty: the window's class name
    PlacementOptions Options = fpPosition;
    int Version = 0; // compared with the stored FormVersion

    // Seams: the screen (tests give a screen of any size) and where the
    // error of a failed save goes (the window's error box).
    void SetScreenProbe(std::function<ScreenInfo()> probe);
    void SetErrorReporter(std::function<void(const QString&)> report);

    QString IniFilePath() const;
    QString Section() const;

    // Hooks the window: restore on its first show, save on program end when
    // no close has saved. Call once the window's components exist.
    void Attach();

    // The close-query hook: the window calls it when it has allowed its close
    // (from its closeEvent, before it accepts), so a close that the window
    // refuses saves nothing. Reports a failure instead of throwing.
    void CloseQuery();

    // Restore never throws: an unreadable file is an empty one.
    void Restore();
    // Throws EFileError "Unable to write to <file>" when the file cannot be
    // written; the old file is then left as it was.
    void Save();
    // The destroy hook: saves, with Visible "1", unless a save has already
    // run since the restore. Reports a failure instead of throwing. The
    // window's destructor calls it; program end calls it as well.
    void FormDestroy();

    bool Restored() const { return restored_; }
    bool Saved() const { return saved_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

    QWidget* Form() const { return form_; }
    // The stored fields; the plain placement stores none.
    virtual void Loaded() {}
    virtual void RestoreProperties(const IniFile& ini, const QString& section);
    virtual void SaveProperties(IniFile& ini, const QString& section);

private:
    void RestorePosition(const IniFile& ini, const QString& section, const ScreenInfo& screen);
    void SavePosition(IniFile& ini, const QString& section, const ScreenInfo& screen) const;
    void SaveReporting();
    QRect NormalFrameRect() const;
    bool FixedSize() const;

    QPointer<QWidget> form_;
    std::function<ScreenInfo()> screen_;
    std::function<void(const QString&)> report_;
    bool attached_ = false;
    bool shown_ = false;
    bool restored_ = false;
    bool saved_ = false;
    bool destroying_ = false;
    QPoint minimizedPosition_{-1, -1};
    QPoint maximizedPosition_{-1, -1};
    std::optional<QPoint> pendingFrameCorner_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TFormPlacement::PlacementOptions)

} // namespace zir
