#pragma once

#include <QDate>

// `sayvane --print [--daily]`: one quote on standard output.
namespace PrintCommand {

// Prints one quote chosen at random, or with daily the quote of the day; each control
// character and line break as a space, so that it stays one line.
int run(bool daily);

// The quote of the day among count quotes: the same for the whole date, from the date alone.
qsizetype dailyIndex(QDate date, qsizetype count);

} // namespace PrintCommand
