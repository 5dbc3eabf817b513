#pragma once

class QString;

// Writes one line to standard output and flushes it at once, so that the line is there even
// if the process dies right after.
void printLine(const QString& line);

// From now on printLine writes to standard error: for the commands whose standard output
// carries their result (a bar's feed, a list).
void printLinesToStandardError();
