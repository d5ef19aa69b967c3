// The system's own words for a Win32 error code.
#pragma once

#include <windows.h>

#include <string>

// The text FormatMessageA gives for error, without the line end it ends it with.
inline std::string SystemMessage(DWORD error) {
    char* text = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                      FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string message = length ? std::string(text, length) : "error " + std::to_string(error);
    (void)LocalFree(text);  // a leak at worst, in a process about to end
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
    return message;
}
