// Starting a program as a process of its own. Each platform implements this in a file of its own.
#pragma once

#include <string>

// Starts the command line as a new process that shares the console, the working directory and the environment,
// and returns without waiting for it. False, with the system's reason in *reason, when it cannot be started.
bool StartProcess(const std::string& commandLine, std::string* reason);
