#pragma once

class QString;

// Writes one line to standard output and flushes it at once, so that the line is there even
// if the process dies right after.
void printLine(const QString& line);
