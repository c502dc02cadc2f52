#pragma once
// SIGINT and SIGTERM end a reading between two requests instead of killing
// the program: the handlers only note the request, and the exchange's cancel
// test and the reading's test before each request look at the note. A second
// signal of the same kind ends the program at once (the default action).

namespace zir::cli {

void InstallStopHandlers();
bool StopRequested();

} // namespace zir::cli
