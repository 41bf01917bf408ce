// The entry point: the command line as one text, handed to the program.
#include <cstring>
#include <string>

#include "app/program.h"

int main(int argc, char** argv) {
    // The words the shell gave us, joined by single blanks: the program path
    // first, then every argument.
    std::string commandLine;
    for (int i = 0; i < argc; ++i) {
        if (i > 0) commandLine += ' ';
        commandLine += argv[i];
    }
    // Only the arguments can be unknown, whatever blanks the path holds.
    return RunProgram(commandLine, argc > 0 ? std::strlen(argv[0]) : 0);
}
