#pragma once

// The desktop program: the strip, its menu and the editor, until Quit. Returns the exit status.
int runProgram(int& argc, char* argv[]);
