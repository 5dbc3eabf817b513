#pragma once

#include <QString>

// `sayvane --list`: every quote on a line of its own.
namespace ListCommand {

int run();

// A quote on one line as the list shows it: a backslash as \\, line breaks as \n and \r, a tab
// as \t, any other control character as \xHH.
QString listLine(const QString& quote);

} // namespace ListCommand
