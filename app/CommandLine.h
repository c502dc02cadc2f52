#pragma once
// The options zir answers itself before any window exists: --help and
// --version print and end the program, so they work without a display.
// Everything else on the command line is left to Qt (-platform, -style, ...).

#include <cstdio>
#include <optional>

namespace zir {

// The exit status when argv asks for help or the version (the text is
// printed on out), nullopt when the program is to start its window.
std::optional<int> AnswerInformationOptions(int argc, const char* const* argv, std::FILE* out);

} // namespace zir
