// libFuzzer target for the HEX loader: any text, in a small image, must load without reading or writing outside
// its buffers, and loading it in pieces must give the same status and image as loading it whole.
//
//   cmake --preset fuzz && cmake --build --preset fuzz && build/fuzz/fuzz/loader_fuzz -max_total_time=60
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "hex_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    // The first byte picks the FLASH size, the second the size of the pieces.
    const uint32_t flashSize = data[0] * 257u;
    const size_t piece = 1 + data[1] * 3u;
    const char* text = reinterpret_cast<const char*>(data + 2);
    const size_t length = size - 2;

    std::vector<uint8_t> whole(flashSize, 0xFF);
    const uint8_t status = LoadHexText(text, length, whole.data(), flashSize);

    std::vector<uint8_t> inPieces(flashSize, 0xFF);
    HexLoad load{inPieces.data(), flashSize};
    std::string held;
    size_t next = 0;
    while (!load.finished) {
        size_t take = length - next < piece ? length - next : piece;
        held.append(text + next, take);
        next += take;
        held.erase(0, LoadHexBlock(load, held.data(), held.size(), take == 0));
    }
    if (load.status != status || inPieces != whole) std::abort();
    return 0;
}
