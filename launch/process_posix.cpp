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

    // The new process gets standard input, output and error, and none of the launcher's other descriptors.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid;
    int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        *reason = std::strerror(error);
        return false;
    }
    return true;
}
