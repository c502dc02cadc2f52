// --help and --version of the three programs print and end with 0, also
// with no display at all (no DISPLAY, no Wayland, no Qt platform chosen):
// the window program must answer them before it needs a display.
#include <gtest/gtest.h>

#include "cli/ChildProcess.h"
#include "core/Version.h"

namespace zir::test {
namespace {

struct Program {
    const char* path;
    const char* name;
    const char* helpStart;
};

const Program kPrograms[] = {
    {ZIR_APP_PATH, "zir", "Usage: zir [--help] [--version] [Qt options]\n"},
    {ZIR_SIM_PATH, "zir-sim", "Usage: zir-sim [options]\n"},
    {ZIR_CLI_PATH, "zir-cli", "Usage: zir-cli [OPTIONS] COMMAND [ARGUMENTS]\n"},
};

ChildOptions NoDisplay() {
    ChildOptions options;
    options.unsetEnv << "DISPLAY"
                     << "WAYLAND_DISPLAY"
                     << "QT_QPA_PLATFORM";
    return options;
}

TEST(ProgramsInfo, HelpAndVersionWithoutADisplay) {
    for (const Program& p : kPrograms) {
        for (const char* option : {"--help", "-h"}) {
            const ProgramResult help = RunProgram(QString::fromUtf8(p.path), {option}, NoDisplay());
            EXPECT_EQ(help.exitStatus, 0) << p.name << " " << option << ": " << help.err.toStdString();
            EXPECT_TRUE(help.out.startsWith(p.helpStart)) << p.name << ": " << help.out.left(200).toStdString();
            EXPECT_EQ(help.err, QByteArray()) << p.name;
        }
        for (const char* option : {"--version", "-v"}) {
            const ProgramResult version = RunProgram(QString::fromUtf8(p.path), {option}, NoDisplay());
            EXPECT_EQ(version.exitStatus, 0) << p.name << " " << option;
            EXPECT_EQ(version.out, QByteArray(p.name) + " " + kVersion + "\n");
        }
    }
}

TEST(ProgramsInfo, HelpNamesTheOtherProgramsAndTheManualPage) {
    const ProgramResult zir = RunProgram(QStringLiteral(ZIR_APP_PATH), {"--help"}, NoDisplay());
    EXPECT_TRUE(zir.out.contains("zir-cli(1)") && zir.out.contains("zir-sim(1)"));
    const ProgramResult cli = RunProgram(QStringLiteral(ZIR_CLI_PATH), {"--help"}, NoDisplay());
    EXPECT_TRUE(cli.out.contains("zir-cli(1)"));
}

} // namespace
} // namespace zir::test
