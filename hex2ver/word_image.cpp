#include "word_image.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform.h"

namespace {

// About 768 KiB of text a write.
constexpr size_t kLinesPerBlock = 128 * 1024;

// The two upper-case hex digits of every byte value.
struct DigitPairs {
    char pair[256][2];
};

constexpr DigitPairs MakeDigitPairs() {
    DigitPairs pairs{};
    const char digits[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
        pairs.pair[b][0] = digits[b >> 4];
        pairs.pair[b][1] = digits[b & 15];
    }
    return pairs;
}

constexpr DigitPairs kPairs = MakeDigitPairs();

inline char* PutLine(char* out, uint8_t even, uint8_t odd) {
    std::memcpy(out, kPairs.pair[even], 2);
    std::memcpy(out + 2, kPairs.pair[odd], 2);
    out[4] = '\r';
    out[5] = '\n';
    return out + kWordLineSize;
}

// The same in one eight-byte store, where two bytes after the line may be overwritten (the next line's).
inline char* PutLineWithSlack(char* out, uint8_t even, uint8_t odd) {
    uint16_t high, low;
    std::memcpy(&high, kPairs.pair[even], 2);
    std::memcpy(&low, kPairs.pair[odd], 2);
    uint16_t lineEnd;
    std::memcpy(&lineEnd, "\r\n", 2);
    uint64_t line = uint64_t(high) | uint64_t(low) << 16 | uint64_t(lineEnd) << 32;
    std::memcpy(out, &line, 8);
    return out + kWordLineSize;
}

}  // namespace

std::string WordImagePath(const std::string& inputPath) {
    size_t nameStart = inputPath.size() >= 2 && inputPath[1] == ':' ? 2 : 0;
    size_t separator = inputPath.find_last_of("\\/");
    if (separator != std::string::npos && separator >= nameStart) nameStart = separator + 1;
    size_t dot = inputPath.rfind('.');
    size_t nameEnd = dot != std::string::npos && dot >= nameStart ? dot : inputPath.size();
    return inputPath.substr(0, nameEnd) + ".ver";
}

uint64_t WordLineCount(uint32_t flashSize) {
    return (uint64_t(flashSize) + 1) / 2;
}

void FormatWordLines(const uint8_t* image, uint32_t flashSize, uint64_t firstLine, size_t lineCount, char* out) {
    uint64_t endLine = firstLine + lineCount;
    uint64_t endOfPairs = std::min<uint64_t>(endLine, flashSize / 2);
    uint64_t line = firstLine;
    for (; line + 1 < endOfPairs; ++line) out = PutLineWithSlack(out, image[2 * line], image[2 * line + 1]);
    if (line < endOfPairs) out = PutLine(out, image[2 * line], image[2 * line + 1]);
    if (endLine > endOfPairs) PutLine(out, image[flashSize - 1], 0xFF);
}

bool WriteWordImage(OutputFile* output, const uint8_t* image, uint32_t flashSize) {
    uint64_t lines = WordLineCount(flashSize);
    size_t blockLines = size_t(std::min<uint64_t>(lines, kLinesPerBlock));
    std::unique_ptr<char[]> block(new char[blockLines * kWordLineSize]);
    for (uint64_t first = 0; first < lines; first += blockLines) {
        size_t count = size_t(std::min<uint64_t>(blockLines, lines - first));
        FormatWordLines(image, flashSize, first, count, block.get());
        if (!WriteOutput(output, block.get(), count * kWordLineSize)) return false;
    }
    return true;
}
