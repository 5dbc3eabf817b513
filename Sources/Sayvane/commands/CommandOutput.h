#pragma once

#include <QString>

// What every command-line mode shares: its exit statuses and where it writes. Failure lines go
// to standard error, since standard output carries the result.
namespace CommandOutput {

enum Status { done = 0, failed = 1, misunderstood = 2 };

// The text and a line break on standard output, flushed.
void printOut(const QString& text);
// The text and a line break on standard error, flushed.
void printError(const QString& text);
// Says what was not understood and where to look, on standard error; gives `misunderstood`.
int notUnderstood(const QString& message);

} // namespace CommandOutput
