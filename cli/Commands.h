#pragma once
// The commands of zir-cli: each calls the operation in device/ or archive/
// that the window's handler calls, with the same values, and writes what it
// got to standard output.

#include <QString>
#include <cstdio>
#include <functional>

#include "cli/CliOptions.h"

namespace zir::cli {

struct CliEnvironment {
    std::FILE* out = stdout;
    std::FILE* err = stderr;
    bool showProgress = false; // stderr is a terminal, no --quiet, no --trace
    QString appDir;            // where "Archive.txt" goes, ending in "/"
    std::function<bool()> stopRequested;
};

// Runs the command and returns the exit status; every failure is reported
// as one line "zir-cli: ..." on env.err.
int RunCommand(const CliOptions& options, const CliEnvironment& env);

} // namespace zir::cli
