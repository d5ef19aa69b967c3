#include "process.h"

#include <cstring>
#include <spawn.h>
#include <vector>

#include "command_line.h"

extern char** environ;

bool StartProcess(const std::string& commandLine, std::string* reason) {
    std::vector<std::string> words = SplitCommandLine(commandLine);
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(&word[0]);
    argv.push_back(nullptr);

    // The new process gets standard input, output and error, and none of the launcher's other descriptors. A set-up
    // call that fails is a start that fails, with its name in the reason.
    posix_spawn_file_actions_t actions;
    int error = posix_spawn_file_actions_init(&actions);
    if (error != 0) {
        *reason = std::string("posix_spawn_file_actions_init: ") + std::strerror(error);
        return false;
    }
    error = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (error != 0) {
        *reason = std::string("posix_spawn_file_actions_addclosefrom_np: ") + std::strerror(error);
    } else {
        pid_t pid;
        error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        if (error != 0) *reason = std::strerror(error);
    }
    posix_spawn_file_actions_destroy(&actions);
    return error == 0;
}
