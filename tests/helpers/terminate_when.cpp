// Test helper (Windows): terminate_when PATTERN BYTES COMMAND-LINE starts the command line and ends it with
// TerminateProcess, as a task manager or a build job's timeout would, as soon as a file matching PATTERN holds at
// least BYTES bytes. Exit status 0 when it ended the process, 1 when the process ended by itself first, 2 when it
// could not start it.
#include <windows.h>

#include <cstdlib>

namespace {

bool FileHolds(const char* pattern, ULONGLONG bytes) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool holds = false;
    do {
        holds = holds || (ULONGLONG(found.nFileSizeHigh) << 32 | found.nFileSizeLow) >= bytes;
    } while (!holds && FindNextFileA(search, &found));
    FindClose(search);
    return holds;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const ULONGLONG bytes = std::strtoull(argv[2], nullptr, 10);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, argv[3], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 2;
    CloseHandle(process.hThread);
    bool ended = false;
    while (WaitForSingleObject(process.hProcess, 1) == WAIT_TIMEOUT) {
        if (FileHolds(argv[1], bytes)) {
            ended = TerminateProcess(process.hProcess, 9) != 0;
            WaitForSingleObject(process.hProcess, INFINITE);
            break;
        }
    }
    CloseHandle(process.hProcess);
    return ended ? 0 : 1;
}
