#pragma once

#include <QDate>
#include <QString>

// The command line: the options, the modes they choose and their exit statuses (0 done,
// 1 failed, 2 not understood). Every mode but the desktop program runs on a QCoreApplication:
// no display, no window, no single-instance lock. Failure lines go to standard error, since
// standard output carries the result.
namespace CommandLine {

// True when the arguments start the desktop program: none at all, or only Qt's own options
// (-platform, -session and the like, which a session manager may pass).
bool startsProgram(int argc, char* argv[]);

// Parses the arguments, runs the mode they choose and returns the exit status.
int run(int argc, char* argv[]);

// The quote of the day among count quotes: the same for the whole date, from the date alone.
qsizetype dailyIndex(QDate date, qsizetype count);

// A quote on one line as the list shows it: a backslash as \\, line breaks as \n and \r.
QString listLine(const QString& quote);

} // namespace CommandLine
