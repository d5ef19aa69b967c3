// libFuzzer target for the output path. For any input path, with no double-byte characters and with those of code
// page 932 (Japanese, where the second byte of a character may be '\' or any letter):
//   - the output path ends in ".ver";
//   - the drive ("X:") and the directory (up to the last '\' or '/') are kept as they are;
//   - of the file name, only the last dot and what follows it are dropped, and only when the name has a dot;
//   - deriving the path again from the output path gives the output path (unless the path ends in a character cut
//     short);
// where a byte that is the second of a double-byte character is never a colon, a separator or a dot.
//
// Input: the path, bytes as they come.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "word_image.h"

namespace {

void Fail(const char* what, const std::string& path) {
    std::fprintf(stderr, "word_image_path_fuzz: %s for \"%s\"\n", what, path.c_str());
    std::abort();
}

bool NoLeadBytes(unsigned char) {
    return false;
}

bool Cp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

void CheckPath(const std::string& path, LeadByteTest isLeadByte) {
    const std::string output = WordImagePath(path, isLeadByte);
    const std::string extension = ".ver";
    if (output.size() < extension.size() || output.compare(output.size() - 4, 4, extension) != 0) {
        Fail("no .ver at the end", path);
    }

    // Which bytes are characters of their own: all but the second byte of each double-byte character.
    std::vector<bool> isCharacter(path.size(), true);
    for (size_t i = 0; i + 1 < path.size(); ++i) {
        if (isCharacter[i] && isLeadByte(static_cast<unsigned char>(path[i]))) isCharacter[i + 1] = false;
    }
    auto isAt = [&](size_t i, char c) { return isCharacter[i] && path[i] == c; };

    const std::string kept = output.substr(0, output.size() - 4);
    size_t nameStart = path.size() >= 2 && isAt(1, ':') ? 2 : 0;
    for (size_t i = nameStart; i < path.size(); ++i) {
        if (isAt(i, '\\') || isAt(i, '/')) nameStart = i + 1;
    }
    if (kept.size() < nameStart || path.compare(0, kept.size(), kept) != 0) {
        Fail("drive, directory or file name not kept", path);
    }
    bool nameHasDot = false;
    for (size_t i = nameStart; i < path.size(); ++i) nameHasDot = nameHasDot || isAt(i, '.');
    if (!nameHasDot) {
        if (kept.size() != path.size()) Fail("a name without a dot lost characters", path);
    } else {
        if (kept.size() == path.size() || !isAt(kept.size(), '.')) Fail("what was dropped begins with no dot", path);
        for (size_t i = kept.size() + 1; i < path.size(); ++i) {
            if (isAt(i, '.')) Fail("a dot after the dropped one", path);
        }
    }
    // A path that ends in the first byte of a character, cut short, is no path a system gives: the dot of ".ver"
    // completes that character when the output is read again.
    const bool endsCutShort = !path.empty() && isCharacter.back() && isLeadByte(static_cast<unsigned char>(path.back()));
    if (!endsCutShort && WordImagePath(output, isLeadByte) != output) Fail("the output path gives another path", path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    CheckPath(path, NoLeadBytes);
    CheckPath(path, Cp932LeadByte);
    return 0;
}
