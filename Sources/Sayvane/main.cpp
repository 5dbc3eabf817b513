#include "CommandLine.h"
#include "Program.h"

int main(int argc, char* argv[]) {
    if (CommandLine::startsProgram(argc, argv))
        return runProgram(argc, argv);
    return CommandLine::run(argc, argv);
}
