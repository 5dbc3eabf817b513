#pragma once

#include <QString>

// Whether the windowing system the program will use can be opened. Qt aborts with a message
// about reinstalling when it cannot, so the program asks first and says what is wrong instead.
// Returns a line for the user ("cannot open the display ...", naming the variable), or an
// empty string when the display opens or the platform is not an X11 one.
QString displayProblem();
