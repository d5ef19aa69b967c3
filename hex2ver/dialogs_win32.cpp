#include "dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <cstddef>
#include <vector>

#include "messages.h"
#include "platform.h"

namespace {

// The open-file record without the fields appended after lpTemplateName: 76 bytes in the 32-bit layout.
constexpr DWORD kOpenFileRecordSize = offsetof(OPENFILENAMEA, lpTemplateName) + sizeof(LPCSTR);
static_assert(sizeof(void*) != 4 || kOpenFileRecordSize == 76, "the 32-bit record is 76 bytes");

}  // namespace

bool PickHexFile(std::string* path) {
    const std::string filter = std::string(kHexFilterLabel) + '\0' + kHexFilterPattern + '\0' + '\0';
    std::vector<char> chosen(MAX_PATH, '\0');
    OPENFILENAMEA record{};
    record.lStructSize = kOpenFileRecordSize;
    record.hwndOwner = nullptr;
    record.lpstrFilter = filter.c_str();
    record.nFilterIndex = 0;
    record.lpstrFile = chosen.data();
    record.nMaxFile = MAX_PATH;
    record.Flags = OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    if (!GetOpenFileNameA(&record)) return false;
    *path = chosen.data();
    return true;
}

void ShowMessageBox(const std::string& text) {
    // A box with its one OK button ends with IDOK however it is dismissed. Anything else means it could not be
    // shown (0 on Windows, -1 from Wine without a display): the message then goes to standard error, so that it is
    // never lost.
    if (MessageBoxA(nullptr, text.c_str(), kErrorCaption, MB_ICONERROR) != IDOK) {
        PrintConsoleError(ConsoleMessage(text));
    }
}
