// The program as the kill test runs it: the main window of zir, started as
// zir starts it (settings restored from zir.INI, leftovers of a killed run
// removed), offscreen, then kept busy until it is killed:
//
//   zir_kill_driver read <data folder>      bank readings one after another,
//                                           into the list, Archive.txt and a
//                                           workbook each (the settings tick
//                                           the workbook and the filters)
//   zir_kill_driver refresh <data folder>   auto refresh at the shortest
//                                           period, into ZIR.txt, with the
//                                           window's timer ticking every 10 ms
//   zir_kill_driver settings <data folder>  the settings saved again and
//                                           again, each time with another
//                                           factor K
//
// It prints "READY" on stdout once the window is up. Boxes are not shown:
// their texts go to stderr.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>
#include <functional>

#include "app/Dialogs.h"
#include "app/Startup.h"
#include "app/UFace.h"
#include "app/settings/FormStorage.h"
#include "core/NumberText.h"

namespace {

class StderrDialogs final : public zir::IDialogs {
public:
    bool ConfirmWarning(const QString& text) override {
        Print("warning", text);
        return false;
    }
    zir::Answer AskYesNoCancel(const QString& text) override {
        Print("question", text);
        return zir::Answer::Cancel;
    }
    void ShowMessage(const QString& text) override { Print("message", text); }
    void ShowNotice(const QString& text) override { Print("notice", text); }
    void ShowError(const QString& text) override { Print("error", text); }
    QString GetSaveFileName() override { return QString(); }

private:
    static void Print(const char* kind, const QString& text) {
        std::fprintf(stderr, "%s: %s\n", kind, qPrintable(text));
    }
};

// Runs step again and again, each time once the event loop has run.
void Repeat(QObject* context, std::function<void()> step) {
    QTimer::singleShot(0, context, [context, step] {
        step();
        Repeat(context, step);
    });
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    zir::InitNumberFormats();
    QApplication::setApplicationName(QStringLiteral("zir"));
    if (argc < 3) {
        std::fprintf(stderr, "usage: zir_kill_driver read|refresh|settings <data folder>\n");
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    QString dataFolder = QString::fromLocal8Bit(argv[2]);
    if (!dataFolder.endsWith(u'/')) dataFolder += u'/';

    StderrDialogs dialogs;
    zir::TFace face;
    face.SetDialogs(&dialogs);
    face.SetAppDir(dataFolder);
    face.SetWorkbookOpener([](const QString&) {});
    face.FormStorage1->IniFileName = QStringLiteral("zir.INI");
    zir::StartMainWindow(face);
    std::printf("READY\n");
    std::fflush(stdout);

    if (mode == QLatin1String("read")) {
        face.CB_ToFile->setChecked(true);
        face.actRefreshBanks->trigger();
        Repeat(&face, [&face] { face.actGetBankN->trigger(); });
    } else if (mode == QLatin1String("refresh")) {
        face.Timer->setInterval(10);
        face.CB_Refresh->click();
        face.CB_ReadToFile->setChecked(true);
    } else if (mode == QLatin1String("settings")) {
        int counter = 0;
        Repeat(&face, [&face, counter]() mutable {
            face.Edit_Koeff_K->setText(QString::number(++counter));
            face.FormStorage1->Save();
        });
    } else {
        std::fprintf(stderr, "unknown mode %s\n", argv[1]);
        return 2;
    }
    return QApplication::exec();
}
