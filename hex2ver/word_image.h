// Word image file: the whole FLASH image as text, one 16-bit word a line, "%02X%02X\r\n" of the bytes at the even
// and the odd address in that order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct OutputFile;

constexpr size_t kWordLineSize = 6;

// Tells whether a byte of a path begins a double-byte character of the system's code page, whose second byte is
// then no character of its own.
typedef bool (*LeadByteTest)(unsigned char byte);

// The input path with its extension replaced by ".ver": drive ("X:"), directory (up to the last '\' or '/') and
// file name are kept; the last dot of the file name and what follows it are dropped. The second byte of a
// double-byte character is never taken for the colon, a separator or a dot.
std::string WordImagePath(const std::string& inputPath, LeadByteTest isLeadByte);

// Number of lines of the word image: half the FLASH size, rounded up.
uint64_t WordLineCount(uint32_t flashSize);

// Formats lines [firstLine, firstLine + lineCount) of the word image into out, which has room for lineCount lines.
// With an odd FLASH size the last line shows the erased value FF after the last image byte.
void FormatWordLines(const uint8_t* image, uint32_t flashSize, uint64_t firstLine, size_t lineCount, char* out);

// Writes the whole word image to output in large blocks; false when a write fails.
bool WriteWordImage(OutputFile* output, const uint8_t* image, uint32_t flashSize);
