#include "app/CommandLine.h"

#include <cstdio>
#include <cstring>

#include "core/Version.h"

namespace zir {

namespace {

const char kHelp[] = R"(Usage: zir [--help] [--version] [Qt options]

The ZIR service tool: a window to talk to a ZIR measuring instrument on a
serial port. Read the instrument's clock and current values, write its unit
texts, coefficients and service parameters, and read its archive banks into a
list, Archive.txt and .xlsx workbooks. The operator's guide is the README in
/usr/share/doc/zir/ and the help page (F1) in the window.

Options:
  -h, --help       show this help and exit
  -v, --version    show the version and exit
Other options go to Qt, for instance -platform offscreen or -style fusion.

Serial port: COM-port n is $XDG_CONFIG_HOME/zir/com<n> when that name exists
(a link you make to /dev/ttyUSB0 or a /dev/serial/by-id/ name), otherwise
/dev/ttyS<n-1>. The serial devices belong to the group "dialout".

Files:
  $XDG_CONFIG_HOME/zir/zir.INI     settings (default ~/.config/zir/)
  ZIR.txt, Archive.txt, workbooks  the program's folder when it is writable,
                                   otherwise $XDG_DATA_HOME/zir/
                                   (default ~/.local/share/zir/)

See also: zir-cli(1) for the instrument from the command line, zir-sim(1) for
the instrument simulator.
)";

bool IsAny(const char* arg, const char* a, const char* b) {
    return std::strcmp(arg, a) == 0 || std::strcmp(arg, b) == 0;
}

} // namespace

std::optional<int> AnswerInformationOptions(int argc, const char* const* argv, std::FILE* out) {
    for (int i = 1; i < argc; ++i) {
        if (IsAny(argv[i], "--help", "-h")) {
            std::fputs(kHelp, out);
            return 0;
        }
        if (IsAny(argv[i], "--version", "-v")) {
            std::fprintf(out, "zir %s\n", kVersion);
            return 0;
        }
    }
    return std::nullopt;
}

} // namespace zir
