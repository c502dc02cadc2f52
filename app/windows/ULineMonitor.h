#pragma once
// The line monitor window: every frame the exchange sends, every read with
// its verdict and every request's end, one line each, with counters since
// the last clear at the top. It shows a TLineEventLog, which the main window
// keeps listening from its start, so the monitor opened after a failed
// request shows what that request met on the line. Not modal, sizeable; its
// position and size are kept in the settings file in the section
// [LineMonitor].

#include <QWidget>
#include <functional>
#include <map>

class QAction;
class QCheckBox;
class QLabel;
class QTableView;
class QPushButton;

namespace zir {

class IDialogs;
class TFormPlacement;
class TLineEventLog;

class TLineMonitor : public QWidget {
    Q_OBJECT

public:
    // `log` is the events shown, `dialogs` answers the save dialog and
    // shows errors; neither is owned, both outlive the window.
    TLineMonitor(TLineEventLog& log, IDialogs& dialogs, QWidget* parent = nullptr);

    TLineEventLog& Log() { return *log_; }
    TFormPlacement& Placement() { return *placement_; }
    void SetDialogs(IDialogs& dialogs) { dialogs_ = &dialogs; }

    // Shows the window without modality and brings it to the front.
    void ShowModeless();
    // The lines shown, in order.
    QStringList Lines() const;
    // Writes the lines shown to a file the operator chooses (UTF-8, one line
    // each); throws EFileError "Cannot create file "%s". %s".
    void SaveToFile();

    QTableView* List = nullptr; // the lines, one row each
    QPushButton* PauseButton = nullptr;
    QPushButton* ClearButton = nullptr;
    QPushButton* SaveButton = nullptr;
    QLabel* KeptLabel = nullptr;
    // The filter's boxes by category, and the counters' value labels by
    // name ("Requests", "FirstAttempt", ..., "RejectedData").
    std::map<unsigned, QCheckBox*> FilterBoxes;
    std::map<QString, QLabel*> CounterLabels;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildCounters();
    QWidget* BuildControls();
    void ApplyFilter();
    void ShowState();
    void FitColumn();
    void CopySelection();
    void Guarded(const std::function<void()>& handler);

    IDialogs* dialogs_;
    TLineEventLog* log_ = nullptr;
    TFormPlacement* placement_ = nullptr;
    QAction* copyAction_ = nullptr;
    bool followEnd_ = true;
};

} // namespace zir
