#include "platform.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <vector>

struct InputFile {
    HANDLE handle;
};

// The output is written to a temporary file beside its target and moved over it once complete, so that a failed
// run leaves the target as it was. Until then the file is marked for deletion, so that the system removes it with
// its handle however the run ends, TerminateProcess included.
struct OutputFile {
    HANDLE handle;
    std::string tempPath;
    std::string targetPath;
    bool deletedWithHandle;
};

namespace {

// Held by the commit, and taken for good by the console control handler: the run never ends half-way through
// a commit, so the target is either the old file or the whole new one.
SRWLOCK commitLock = SRWLOCK_INIT;

// Called on Ctrl+C, Ctrl+Break and the closing of the console, in a thread of its own. Returns FALSE, so that
// the default handler ends the process, which removes the temporary file with its handle, as soon as no commit is
// under way; the lock is never given back, so no commit begins after.
BOOL WINAPI HoldCommits(DWORD) {
    AcquireSRWLockExclusive(&commitLock);
    return FALSE;
}

bool SetDeletedWithHandle(HANDLE handle, bool deleted) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = deleted;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

std::string DirectoryOf(const std::string& path) {
    size_t separator = path.find_last_of("\\/");
    if (separator != std::string::npos) return path.substr(0, separator + 1);
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : "";
}

// Opens a new temporary file in the target's directory; INVALID_HANDLE_VALUE when the directory refuses it.
HANDLE CreateTempBeside(const std::string& target, std::string* tempPath) {
    const std::string directory = DirectoryOf(target);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "~h2v%04lx%02x.tmp", GetCurrentProcessId() & 0xFFFF, attempt);
        *tempPath = directory + name;
        HANDLE handle = CreateFileA(tempPath->c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return handle;
    }
    return INVALID_HANDLE_VALUE;
}

// Writes all of data to handle, however many calls that takes; false when a write fails or writes nothing.
bool WriteWhole(HANDLE handle, const char* data, size_t size) {
    while (size > 0) {
        DWORD chunk = DWORD(size < (1u << 30) ? size : (1u << 30));
        DWORD written = 0;
        if (!WriteFile(handle, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

// Writes text to a standard handle as a text-mode stream of the console would: converted from the ANSI code page
// into the OEM one, every line feed preceded by a carriage return. The C runtime's streams are not used, as they
// do not report failed writes on every Windows (Wine's, for one).
bool WriteConsoleText(DWORD standardHandle, const std::string& text) {
    std::vector<char> oem(text.size() + 1);
    // CharToOemA fails only on a null pointer; the text then goes out unconverted rather than not at all.
    if (!CharToOemA(text.c_str(), oem.data())) std::copy(text.begin(), text.end(), oem.begin());
    std::string lines;
    for (size_t i = 0; i < text.size(); ++i) {
        if (oem[i] == '\n') lines += '\r';
        lines += oem[i];
    }
    HANDLE handle = GetStdHandle(standardHandle);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && WriteWhole(handle, lines.data(), lines.size());
}

}  // namespace

bool IsPathLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != 0;
}

InputFile* OpenInput(const std::string& path) {
    HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return new InputFile{handle};
}

bool ReadInput(InputFile* input, char* buffer, size_t capacity, size_t* got) {
    DWORD read = 0;
    BOOL ok = ReadFile(input->handle, buffer, DWORD(capacity < (1u << 30) ? capacity : (1u << 30)), &read, nullptr);
    *got = ok ? read : 0;
    return ok != 0;
}

void CloseInput(InputFile* input) {
    (void)CloseHandle(input->handle);  // only read: closing it cannot lose anything
    delete input;
}

OutputFile* CreateOutput(const std::string& path, const InputFile*) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        // Checked here, since a run with full rights may replace a read-only file unasked.
        if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return nullptr;
        // Opening the existing file as the output would be opened shows whether it can be written: it cannot
        // while it is held open without sharing, by this run as its input or by another program.
        HANDLE probe = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                   nullptr);
        if (probe == INVALID_HANDLE_VALUE) return nullptr;
        (void)CloseHandle(probe);  // opened to see whether it can be, nothing written
    }
    // Without the handler a Ctrl+C could end the run in the moment between keeping the file and moving it, and
    // leave it there; without the mark a killed run leaves it. Neither is worth refusing the run for.
    (void)SetConsoleCtrlHandler(HoldCommits, TRUE);
    std::string tempPath;
    HANDLE handle = CreateTempBeside(path, &tempPath);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    return new OutputFile{handle, tempPath, path, SetDeletedWithHandle(handle, true)};
}

bool WriteOutput(OutputFile* output, const char* data, size_t size) {
    return WriteWhole(output->handle, data, size);
}

bool CommitOutput(OutputFile* output) {
    AcquireSRWLockExclusive(&commitLock);
    bool kept = !output->deletedWithHandle || SetDeletedWithHandle(output->handle, false);
    bool closed = CloseHandle(output->handle) != 0;
    bool committed = kept && closed &&
                     MoveFileExA(output->tempPath.c_str(), output->targetPath.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    // A file that was not kept went with its handle; one that could not be moved is a leftover of ours.
    if (kept && !committed) (void)DeleteFileA(output->tempPath.c_str());
    ReleaseSRWLockExclusive(&commitLock);
    delete output;
    return committed;
}

void DiscardOutput(OutputFile* output) {
    // Dropped whatever the results: a marked file goes with its handle, an unmarked one by its name.
    (void)CloseHandle(output->handle);
    if (!output->deletedWithHandle) (void)DeleteFileA(output->tempPath.c_str());
    delete output;
}

void PrintConsole(const std::string& text) {
    if (!WriteConsoleText(STD_OUTPUT_HANDLE, text)) PrintConsoleError(text);
}

void PrintConsoleError(const std::string& text) {
    // Standard error is the last place left to tell anything.
    (void)WriteConsoleText(STD_ERROR_HANDLE, text);
}
