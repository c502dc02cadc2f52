// zir: start-up, message loop, shut-down.
#include <QApplication>

#include "app/AppEnvironment.h"
#include "app/CommandLine.h"
#include "app/Startup.h"
#include "app/UFace.h"
#include "core/NumberText.h"

int main(int argc, char** argv) {
    // Answered before the application object exists, which needs a display.
    if (const auto status = zir::AnswerInformationOptions(argc, argv, stdout)) return *status;

    QApplication app(argc, argv);
    // Numbers in text use "." whatever the locale; dates keep the system's formats.
    // After the application object, whose constructor sets the C locale from
    // the environment.
    zir::InitNumberFormats();
    QApplication::setApplicationName(QStringLiteral("zir"));
    QApplication::setDesktopFileName(QStringLiteral("org.zirtool.Zir"));
    QApplication::setFont(zir::DesignFont());

    // The main window is shown first (which restores the stored settings),
    // then the about, progress and archive windows are created hidden.
    zir::TFace face;
    zir::StartMainWindow(face);

    // Ends when the main window has closed; closing has saved the settings.
    return QApplication::exec();
}
