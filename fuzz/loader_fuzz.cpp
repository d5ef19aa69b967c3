// libFuzzer target for the HEX loader. Any text, in an image of any size up to 128 KiB, must load without reading or
// writing outside its buffers, and:
//   - the status has at most one bit set;
//   - status and image equal those of a plain reference loader below, which reads one character at a time;
//   - no byte beyond the highest address the reference stored is touched;
//   - LoadHex, handed the text in pieces, gives the same status and image.
//
// Input: two bytes for the FLASH size, one for the size of the pieces, then the HEX text. The FLASH size is the
// first byte plus 512 times the second: every small size, and sizes past 64 KiB, where records lie above a base.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "hex_loader.h"

namespace {

// The reference loader: the records read field by field, in the order of the format, one character at a time.
struct Reference {
    const uint8_t* text;
    size_t size;
    size_t next = 0;
    std::vector<uint8_t>& image;
    uint8_t status = 0;
    long long highestStored = -1;

    bool ReadChar(int* c) {
        if (next == size) return false;
        *c = text[next++];
        return true;
    }

    static int DigitValue(int c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    }

    bool ReadByte(uint8_t* byte) {
        int high = -1, low = -1;
        bool two = ReadChar(&high) && ReadChar(&low);
        if (!two || DigitValue(high) < 0 || DigitValue(low) < 0) {
            status = HEX_CORRUPT;
            return false;
        }
        *byte = uint8_t(DigitValue(high) * 16 + DigitValue(low));
        return true;
    }

    bool ReadWord(uint8_t* high, uint8_t* low) {
        return ReadByte(high) && ReadByte(low);
    }

    void Load() {
        uint32_t base = 0;
        for (;;) {
            int c;
            if (!ReadChar(&c) || c != ':') return;
            uint8_t count, offsetHigh, offsetLow, type;
            if (!ReadByte(&count) || !ReadWord(&offsetHigh, &offsetLow) || !ReadByte(&type)) return;
            unsigned sum = count + offsetHigh + offsetLow + type;
            if (type == 0x00) {
                uint32_t address = base + (uint32_t(offsetHigh) << 8 | offsetLow);
                for (unsigned i = 0; i < count; ++i, ++address) {
                    uint8_t byte;
                    if (!ReadByte(&byte)) return;
                    if (address >= image.size()) {
                        status = HEX_TOO_BIG;
                        return;
                    }
                    image[address] = byte;
                    if (address > highestStored) highestStored = address;
                    sum += byte;
                }
            } else if (type == 0x01) {
                status = HEX_END;
                return;
            } else if (type == 0x02 || type == 0x04) {
                uint8_t high, low;
                if (!ReadWord(&high, &low)) return;
                uint32_t value = uint32_t(high) << 8 | low;
                base = type == 0x02 ? value * 16 : value * 65536;
                sum += high + low;
            } else if (type == 0x03 || type == 0x05) {
                for (unsigned i = 0; i < count; ++i) {
                    uint8_t byte;
                    if (!ReadByte(&byte)) return;
                    sum += byte;
                }
            } else {
                status = HEX_CORRUPT;
                return;
            }
            uint8_t checksum;
            if (!ReadByte(&checksum)) return;
            if ((sum + checksum) % 256 != 0) {
                status = HEX_BAD_SUM;
                return;
            }
            do {
                if (!ReadChar(&c)) return;
            } while (c != '\n');
        }
    }
};

void Fail(const char* what) {
    std::fprintf(stderr, "loader_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint32_t flashSize = data[0] + uint32_t(data[1]) * 512;
    const size_t piece = 1 + data[2] * 3u;
    const char* text = reinterpret_cast<const char*>(data + 3);
    const size_t length = size - 3;

    // Kept from run to run: fresh images each run would cost more than the load.
    static std::vector<uint8_t> expected, whole, inPieces;
    static const std::vector<uint8_t> erased(255 + 255 * 512, 0xFF);
    expected.assign(flashSize, 0xFF);
    Reference reference{data + 3, length, 0, expected};
    reference.Load();

    whole.assign(flashSize, 0xFF);
    const uint8_t status = LoadHexText(text, length, whole.data(), flashSize);
    if ((status & (status - 1)) != 0 || status > HEX_BAD_SUM) Fail("more than one status bit, or an unknown one");
    if (status != reference.status) Fail("status differs from the reference loader's");
    const size_t untouched = size_t(reference.highestStored + 1);
    if (untouched < flashSize && std::memcmp(whole.data() + untouched, erased.data(), flashSize - untouched) != 0) {
        Fail("a byte beyond the last data byte changed");
    }
    if (whole != expected) Fail("image differs from the reference loader's");

    inPieces.assign(flashSize, 0xFF);
    size_t next = 0;
    const uint8_t piecesStatus = LoadHex([&](char* buffer, size_t capacity, size_t* got) {
        *got = std::min({piece, capacity, length - next});
        std::memcpy(buffer, text + next, *got);
        next += *got;
        return true;
    }, inPieces.data(), flashSize);
    if (piecesStatus != status || inPieces != whole) Fail("loading in pieces differs from loading the whole text");
    return 0;
}
