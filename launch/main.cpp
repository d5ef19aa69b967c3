// launch: starts the command its arguments form and returns at once, without waiting for it.
//
//   launch PROGRAM [ARGUMENT...]
//
// echoes the command line on standard output first.

#include <cstdio>
#include <string>

#include "command_line.h"
#include "process.h"

int main(int argc, char** argv) {
    if (argc < 2) return 0;
    const std::string commandLine = JoinArguments(argc - 1, argv + 1);
    std::printf("%s\n", commandLine.c_str());
    // Whatever the started program writes to the same place comes after the echo.
    std::fflush(stdout);
    if (IsBlankCommandLine(commandLine)) return 0;
    std::string reason;
    if (!StartProcess(commandLine, &reason)) {
        std::fprintf(stderr, "launch: cannot start \"%s\": %s\n", SplitCommandLine(commandLine)[0].c_str(),
                     reason.c_str());
        return 1;
    }
    return 0;
}
