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

// Stores a line built in a register with one eight-byte write: the two bytes after the line are overwritten too.
inline void StoreLineWithSlack(char* out, uint8_t even, uint8_t odd) {
    uint16_t high, low, lineEnd;
    std::memcpy(&high, kPairs.pair[even], 2);
    std::memcpy(&low, kPairs.pair[odd], 2);
    std::memcpy(&lineEnd, "\r\n", 2);
    uint64_t line = uint64_t(high) | uint64_t(low) << 16 | uint64_t(lineEnd) << 32;
    std::memcpy(out, &line, 8);
}

}  // namespace

std::string WordImagePath(const std::string& inputPath, LeadByteTest isLeadByte) {
    const size_t size = inputPath.size();
    size_t nameStart = 0;
    size_t dot = std::string::npos;
    for (size_t i = 0; i < size; ++i) {
        const char c = inputPath[i];
        if (isLeadByte(static_cast<unsigned char>(c)) && i + 1 < size) {
            ++i;
        } else if (c == ':' && i == 1) {
            nameStart = 2;
        } else if (c == '\\' || c == '/') {
            nameStart = i + 1;
        } else if (c == '.') {
            dot = i;
        }
    }
    const size_t nameEnd = dot != std::string::npos && dot >= nameStart ? dot : size;
    return inputPath.substr(0, nameEnd) + ".ver";
}

uint64_t WordLineCount(uint32_t flashSize) {
    return (uint64_t(flashSize) + 1) / 2;
}

void FormatWordLines(const uint8_t* image, uint32_t flashSize, uint64_t firstLine, size_t lineCount, char* out) {
    if (lineCount == 0) return;
    // Each line's slack is overwritten by the next line; the last goes through a buffer of its own, as out ends
    // with it. Only the image's last line can lack its odd byte, which then shows the erased value.
    const uint64_t last = firstLine + lineCount - 1;
    for (uint64_t line = firstLine; line < last; ++line, out += kWordLineSize) {
        StoreLineWithSlack(out, image[2 * line], image[2 * line + 1]);
    }
    char lastLine[8];
    StoreLineWithSlack(lastLine, image[2 * last], 2 * last + 1 < flashSize ? image[2 * last + 1] : 0xFF);
    std::memcpy(out, lastLine, kWordLineSize);
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
