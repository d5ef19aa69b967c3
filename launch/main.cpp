// launch: starts the command its arguments form and returns at once, without waiting for it.
//
//   launch PROGRAM [ARGUMENT...]
//
// echoes the command line on standard output first.

#include <cstdio>
#include <string>

#include "command_line.h"
#include "console.h"
#include "process.h"

int main(int argc, char** argv) {
    if (argc < 2) return 0;
    const std::string commandLine = JoinArguments(argc - 1, argv + 1);
    std::string reason;
    // The echo is written whole before the start, so that whatever the started program writes to the same place
    // comes after it; a command line that cannot be shown is not started.
    if (!WriteLine(commandLine, &reason)) {
        std::fprintf(stderr, "launch: cannot write the command line: %s\n", reason.c_str());
        return 1;
    }
    if (IsBlankCommandLine(commandLine)) return 0;
    if (!StartProcess(commandLine, &reason)) {
        std::fprintf(stderr, "launch: cannot start \"%s\": %s\n", SplitCommandLine(commandLine)[0].c_str(),
                     reason.c_str());
        return 1;
    }
    return 0;
}
