#pragma once

// The command line: the options, the modes they choose and their exit statuses (0 done,
// 1 failed, 2 not understood). Every mode but the desktop program runs on a QCoreApplication:
// no display, no window, no single-instance lock. Failure lines go to standard error, since
// standard output carries the result.
namespace CommandLine {

// True when the arguments start the desktop program: none at all, or only Qt's own options
// (-platform, -session and the like, which a session manager may pass).
bool startsProgram(int argc, char* argv[]);

// Makes a request of the arguments, runs the mode it chooses and returns the exit status.
int run(int argc, char* argv[]);

} // namespace CommandLine
