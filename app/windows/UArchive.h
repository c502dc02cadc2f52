#pragma once
// The archive list window: the archive operations append their record lines;
// the operator can clear the list or save it to a file.

#include <QStringList>
#include <QWidget>
#include <functional>

#include "app/windows/PaintPacer.h"

class QListWidget;
class QFrame;
class QLabel;
class QMenu;
class QAction;

namespace zir {

class IClock;
class IDialogs;
class TCachedRowDelegate;

class TArchive : public QWidget {
    Q_OBJECT

public:
    // `dialogs` answers the close question and the save dialog; not owned.
    explicit TArchive(IDialogs& dialogs, QWidget* parent = nullptr);

    QListWidget* ListBox = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* Summary = nullptr; // on Panel1: "N of M minutes read"
    QMenu* PopupMenu1 = nullptr;
    QAction* N2 = nullptr; // clear the list
    QAction* N1 = nullptr; // save to file

    // Appends one line; the list keeps it also while the window is hidden.
    // Lines reach the list at the next paint moment (PaintIfDue, which a
    // reading gives while each request waits for its reply, or the event
    // loop within 33 ms), at most about 30 times a second: lines that come
    // sooner join the list together.
    void AddLine(const QString& line);
    // Every line, held-back ones included.
    QStringList Lines() const;
    // The text of the bottom panel.
    void SetSummary(const QString& text);
    // Puts the held-back lines into the list now (a reading has ended).
    void ShowPendingLines();
    // A paint moment: puts the held-back lines into the list, if the last
    // showing is at least the interval ago, and paints the window at once.
    void PaintIfDue();
    // The clock the interval between two showings is measured on; nullptr
    // is steady time. Not owned.
    void SetClock(IClock* clock) { linePacer_.SetClock(clock); }
    const TCachedRowDelegate& RowPainter() const { return *rowPainter_; }
    // Shows the window without modality and brings it to the front.
    void ShowModeless();
    void SetDialogs(IDialogs& dialogs) { dialogs_ = &dialogs; }

    // Escape asks whether to close the window; OK hides it.
    void FormKeyPress(QChar key);
    // Saves the list to a file chosen by the operator (CR LF line ends,
    // Windows-1251 with "?" for a character it lacks, an existing file
    // replaced). Throws EFileError
    // "Cannot create file "%s". %s" when the file cannot be written.
    void N1Click();
    void N2Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PreviewKey(const QKeyEvent* event);
    void Guarded(const std::function<void()>& handler);
    void MovePendingLines();

    IDialogs* dialogs_;
    TCachedRowDelegate* rowPainter_ = nullptr; // owned by ListBox
    QStringList pendingLines_;
    TPaintPacer linePacer_;
};

// Writes the lines, each followed by CR LF, in Windows-1251 ("?" for a
// character it lacks) to `path`, replacing the file. Throws EFileError "Cannot create file "%s". %s".
void SaveLinesToFile(const QStringList& lines, const QString& path);
// Writes the bytes to `path` through a temporary file, replacing the file.
// Throws EFileError "Cannot create file "%s". %s".
void SaveBytesToFile(const QByteArray& bytes, const QString& path);

} // namespace zir
