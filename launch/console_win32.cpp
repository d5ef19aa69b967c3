#include "console.h"

#include <windows.h>

#include "system_message_win32.h"

// Written with WriteFile rather than the C runtime's streams, which do not report failed writes on every Windows
// (Wine's, for one).
bool WriteLine(const std::string& text, std::string* reason) {
    const std::string line = text + "\r\n";
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE) {
        *reason = SystemMessage(ERROR_INVALID_HANDLE);
        return false;
    }
    const char* data = line.data();
    size_t size = line.size();
    while (size > 0) {
        DWORD written = 0;
        if (!WriteFile(output, data, DWORD(size), &written, nullptr)) {
            *reason = SystemMessage(GetLastError());
            return false;
        }
        if (written == 0) {
            *reason = "nothing was written";
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}
