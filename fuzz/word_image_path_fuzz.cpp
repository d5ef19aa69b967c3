// libFuzzer target for the output path. For any input path:
//   - the output path ends in ".ver";
//   - the drive ("X:") and the directory (up to the last '\' or '/') are kept as they are;
//   - of the file name, only the last dot and what follows it are dropped, and only when the name has a dot;
//   - deriving the path again from the output path gives the output path.
//
// Input: the path, bytes as they come.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "word_image.h"

namespace {

void Fail(const char* what, const std::string& path) {
    std::fprintf(stderr, "word_image_path_fuzz: %s for \"%s\"\n", what, path.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string output = WordImagePath(path);

    const std::string extension = ".ver";
    if (output.size() < extension.size() || output.compare(output.size() - 4, 4, extension) != 0) {
        Fail("no .ver at the end", path);
    }
    const std::string kept = output.substr(0, output.size() - 4);
    size_t nameStart = path.size() >= 2 && path[1] == ':' ? 2 : 0;
    for (size_t i = nameStart; i < path.size(); ++i) {
        if (path[i] == '\\' || path[i] == '/') nameStart = i + 1;
    }
    if (kept.size() < nameStart || path.compare(0, kept.size(), kept) != 0) {
        Fail("drive, directory or file name not kept", path);
    }
    const std::string name = path.substr(nameStart);
    const std::string dropped = path.substr(kept.size());
    if (name.find('.') == std::string::npos) {
        if (!dropped.empty()) Fail("a name without a dot lost characters", path);
    } else if (dropped.empty() || dropped[0] != '.' || dropped.find('.', 1) != std::string::npos) {
        Fail("not exactly the last dot and what follows it dropped", path);
    }
    if (WordImagePath(output) != output) Fail("the output path gives another path", path);
    return 0;
}
