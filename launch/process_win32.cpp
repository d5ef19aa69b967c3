#include "process.h"

#include <windows.h>

#include <vector>

#include "system_message_win32.h"

namespace {

// CreateProcessA takes at most 32767 characters, its terminating zero included.
constexpr size_t kLongestCommandLine = 32766;

static_assert(sizeof(void*) != 4 || sizeof(STARTUPINFOA) == 68, "the 32-bit start-up record is 68 bytes");

}  // namespace

bool StartProcess(const std::string& commandLine, std::string* reason) {
    if (commandLine.size() > kLongestCommandLine) {
        *reason = "the command line is longer than " + std::to_string(kLongestCommandLine) + " characters";
        return false;
    }
    // CreateProcessA may write into the command line it is given.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        *reason = SystemMessage(GetLastError());
        return false;
    }
    // The launcher keeps no hold on the started process; there is nothing to do should the closing fail.
    (void)CloseHandle(process.hThread);
    (void)CloseHandle(process.hProcess);
    return true;
}
