// The Windows dialogs where no display can show them, as under Wine without one.
#include <gtest/gtest.h>

#include <windows.h>
#include <commdlg.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "dialogs.h"

namespace {

bool DisplayPresent() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

TEST(PickHexFileTest, SystemTakesTheOpenFileRecord) {
    if (DisplayPresent()) GTEST_SKIP() << "a display would show the dialog";
    std::string path;
    EXPECT_FALSE(PickHexFile(&path));
    // A record of a size the system does not know fails with CDERR_STRUCTSIZE before any window is made.
    EXPECT_NE(CommDlgExtendedError(), DWORD(CDERR_STRUCTSIZE));
}

TEST(ShowMessageBoxTest, BoxThatCannotBeShownLeavesTheMessageOnStandardError) {
    if (DisplayPresent()) GTEST_SKIP() << "a display would show the box";
    char directory[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, directory), 0u);
    ASSERT_NE(GetTempFileNameA(directory, "h2v", 0, path), 0u);
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
    SetStdHandle(STD_ERROR_HANDLE, file);
    ShowMessageBox("HEX файл повреждён.");
    SetStdHandle(STD_ERROR_HANDLE, standardError);

    std::vector<char> written(256);
    DWORD size = 0;
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    ReadFile(file, written.data(), DWORD(written.size()), &size, nullptr);
    CloseHandle(file);
    DeleteFileA(path);
    char expected[64];
    CharToOemA("\r\nHEX файл повреждён.\r\n", expected);
    EXPECT_EQ(std::string(written.data(), size), expected);
}

}  // namespace
