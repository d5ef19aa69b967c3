// The file operations and the console output of a conversion run. Each platform implements them in a file of its
// own.
#pragma once

#include <cstddef>
#include <string>

struct InputFile;
struct OutputFile;

// Whether a byte of a path begins a double-byte character: in the system's ANSI code page on Windows; never on
// POSIX systems, whose paths are plain bytes.
bool IsPathLeadByte(unsigned char byte);

// Opens the HEX file for reading only; nullptr when it is missing, unreadable or a directory.
InputFile* OpenInput(const std::string& path);

// Reads up to capacity bytes into buffer; *got is 0 at the end of the file. False on a read error.
bool ReadInput(InputFile* input, char* buffer, size_t capacity, size_t* got);

void CloseInput(InputFile* input);

// Starts the output file that is to replace whatever lies at path, or nullptr when it cannot be created: path is
// a directory or no regular file, the file there is read-only or is the input itself, or its directory refuses
// new files. Nothing at path changes before CommitOutput.
OutputFile* CreateOutput(const std::string& path, const InputFile* input);

// False when the data cannot be written whole (a full disk).
bool WriteOutput(OutputFile* output, const char* data, size_t size);

// Puts what was written in place at path, keeping the permissions of a file it replaces; false, with path left
// as it was, when that fails. Releases output either way.
bool CommitOutput(OutputFile* output);

// Drops what was written, leaving path as it was, and releases output.
void DiscardOutput(OutputFile* output);

// Prints text on standard output at once, converted to the console's character set. Should standard output refuse
// it (full, closed), the same bytes go to standard error, so that the operator still reads them.
void PrintConsole(const std::string& text);

// Prints text on standard error at once, converted as PrintConsole converts it.
void PrintConsoleError(const std::string& text);
