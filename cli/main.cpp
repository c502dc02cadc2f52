// zir-cli: the instrument from the command line, for unattended stations and
// scripts. QtCore only: no display is needed.
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <csignal>
#include <cstdio>

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "cli/StopSignals.h"
#include "core/DataFolder.h"
#include "core/NumberText.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    // After the application object, whose constructor sets the C locale from
    // the environment: numbers in text use "." whatever the locale.
    zir::InitNumberFormats();

    const zir::cli::ParsedArguments parsed = zir::cli::ParseArguments(QCoreApplication::arguments());
    if (!parsed.options) {
        if (!parsed.error.isEmpty()) {
            std::fprintf(stderr, "zir-cli: %s (see zir-cli --help)\n", parsed.error.toUtf8().constData());
        } else {
            std::fputs(parsed.output.toUtf8().constData(), stdout);
        }
        return parsed.exitStatus;
    }

    // A stop ends a talk with the instrument between two requests; the
    // history's export and import end at once (an import is one transaction).
    const zir::cli::Command command = parsed.options->command;
    if (command != zir::cli::Command::Export && command != zir::cli::Command::Import) zir::cli::InstallStopHandlers();
    // A closed output pipe is reported as a write error, and the reading ends
    // with its files closed whole.
    std::signal(SIGPIPE, SIG_IGN);

    zir::cli::CliEnvironment env;
    const zir::cli::CliOptions& options = *parsed.options;
    env.showProgress = isatty(STDERR_FILENO) == 1 && !options.quiet && !options.trace;
    if (options.archiveTxt) {
        env.appDir = zir::ProgramAppDir();
        // Created on first use, as the window does.
        QDir().mkpath(env.appDir);
    }
    env.stopRequested = zir::cli::StopRequested;
    return zir::cli::RunCommand(options, env);
}
