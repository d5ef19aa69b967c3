#include "hex_loader.h"

#include <cstring>
#include <memory>

namespace {

constexpr size_t kReadBlock = 256 * 1024;

// The longest record up to its checksum: ':', count, offset, type, 255 data bytes, checksum.
constexpr size_t kLongestRecord = 1 + 2 + 4 + 2 + 2 * 255 + 2;

// What a load carries from one block of HEX text to the next.
struct HexLoad {
    uint8_t* image;             // erased to 0xFF by the caller, flashSize bytes
    uint32_t flashSize;
    uint32_t base = 0;          // set by type 02 and 04 records only
    uint8_t status = 0;
    bool finished = false;      // a status bit was set, or the text cannot go on
    bool skippingLine = false;  // between a record's checksum and the next line feed
};

// Digit values of the hex digits; every other character maps to a value with kNotHex set, so a pair of characters
// is checked by or-ing their values and testing once.
constexpr uint8_t kNotHex = 0x10;

struct DigitTable {
    uint8_t value[256];
};

constexpr DigitTable MakeDigitTable() {
    DigitTable table{};
    for (int c = 0; c < 256; ++c) table.value[c] = kNotHex;
    for (int c = '0'; c <= '9'; ++c) table.value[c] = uint8_t(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) table.value[c] = uint8_t(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) table.value[c] = uint8_t(c - 'a' + 10);
    return table;
}

constexpr DigitTable kDigits = MakeDigitTable();

inline unsigned DigitValue(char c) {
    return kDigits.value[static_cast<unsigned char>(c)];
}

// Reads the two characters at p as one byte, the first being the high digit; both are consumed either way.
inline bool ReadHexByte(const char*& p, uint8_t* byte) {
    unsigned high = DigitValue(p[0]);
    unsigned low = DigitValue(p[1]);
    p += 2;
    *byte = uint8_t(high << 4 | low);
    return ((high | low) & kNotHex) == 0;
}

// Reads four characters as a 16-bit value, most significant digit first, and adds its two bytes to the sum.
inline bool ReadHexWord(const char*& p, uint16_t* word, uint8_t* sum) {
    uint8_t high, low;
    bool highIsHex = ReadHexByte(p, &high);
    bool lowIsHex = ReadHexByte(p, &low);
    *word = uint16_t(high << 8 | low);
    *sum = uint8_t(*sum + high + low);
    return highIsHex && lowIsHex;
}

// Sixteen characters side by side, and eight bytes: vectors the compiler maps to the machine's SIMD registers.
// Pairs of characters are read as 16-bit lanes whose low byte is the first character.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a 16-bit lane holds its first character in its low byte");
typedef unsigned char Chars16 __attribute__((vector_size(16)));
typedef uint16_t Words8 __attribute__((vector_size(16)));
typedef unsigned char Bytes8 __attribute__((vector_size(8)));

// Decodes the sixteen characters at p, two hex digits a byte, into eight bytes at out, all at once, without a test
// per character. Returns bit 0 when the first eight characters are all hex digits, bit 1 when the last eight are.
inline unsigned DecodeSixteenDigits(const char* p, uint8_t* out) {
    Chars16 c;
    std::memcpy(&c, p, 16);
    Chars16 lower = c | 0x20;
    Chars16 letter = (Chars16)(lower - 'a' < 6);  // all bits set where 'a' to 'f' or 'A' to 'F'
    Chars16 digit = (Chars16)(c - '0' < 10);
    Chars16 valid = digit | letter;
    // A digit's value is its low four bits, plus 9 for a letter; each pair, first digit high, makes a byte.
    Words8 nibbles = (Words8)((c & 0x0F) + (letter & 9));
    Words8 pairs = ((nibbles << 4) | (nibbles >> 8)) & 0xFF;
    Bytes8 bytes = __builtin_convertvector(pairs, Bytes8);
    std::memcpy(out, &bytes, 8);
    uint64_t halves[2];
    std::memcpy(halves, &valid, 16);
    return unsigned(halves[0] == ~uint64_t(0)) | unsigned(halves[1] == ~uint64_t(0)) << 1;
}

const char* Fail(HexLoad& load, uint8_t status) {
    load.status = status;
    return nullptr;
}

// Reads count data bytes at p and stores them from address on. A record that lies wholly inside the image is
// decoded sixteen digits at a time; what is left, and any group that is not all digits, goes byte by byte, so that
// the first byte that fails decides the status, as when the record is read in order.
const char* LoadData(HexLoad& load, const char* p, unsigned count, uint32_t address, uint8_t* sum) {
    unsigned done = 0;
    if (count <= load.flashSize && address <= load.flashSize - count) {
        uint64_t laneSums = 0;  // four 16-bit sums of every other byte; 255 bytes cannot overflow them
        for (; done + 8 <= count; done += 8) {
            uint8_t bytes[8];
            if (DecodeSixteenDigits(p + 2 * done, bytes) != 3) break;
            std::memcpy(load.image + address + done, bytes, 8);
            uint64_t eight;
            std::memcpy(&eight, bytes, 8);
            laneSums += (eight & 0x00FF00FF00FF00FF) + (eight >> 8 & 0x00FF00FF00FF00FF);
        }
        laneSums += laneSums >> 32;
        laneSums += laneSums >> 16;
        *sum = uint8_t(*sum + laneSums);
    }
    p += 2 * done;
    address += done;
    for (; done < count; ++done, ++address) {
        uint8_t byte;
        if (!ReadHexByte(p, &byte)) return Fail(load, HEX_CORRUPT);
        if (address >= load.flashSize) return Fail(load, HEX_TOO_BIG);
        load.image[address] = byte;
        *sum = uint8_t(*sum + byte);
    }
    return p;
}

// Loads the record whose ':' is at p; p has kLongestRecord readable bytes. Returns the position after the
// record's checksum, or nullptr once a status bit is set.
const char* LoadRecord(HexLoad& load, const char* p) {
    // Count, load offset and type: eight characters that must all be hex digits, whichever fails first. The
    // eight characters after them are decoded too, and not used.
    uint8_t header[8];
    if (!(DecodeSixteenDigits(p + 1, header) & 1)) return Fail(load, HEX_CORRUPT);
    p += 9;
    const unsigned count = header[0];
    const uint16_t offset = uint16_t(header[1] << 8 | header[2]);
    const uint8_t type = header[3];
    uint8_t sum = uint8_t(header[0] + header[1] + header[2] + header[3]);
    uint16_t value;
    switch (type) {
    case 0x00:
        p = LoadData(load, p, count, load.base + offset, &sum);
        if (!p) return nullptr;
        break;
    case 0x01:
        return Fail(load, HEX_END);
    case 0x02:
    case 0x04:
        // One four-digit value, whatever the count says.
        if (!ReadHexWord(p, &value, &sum)) return Fail(load, HEX_CORRUPT);
        load.base = type == 0x02 ? uint32_t(value) << 4 : uint32_t(value) << 16;
        break;
    case 0x03:
    case 0x05:
        // A start address: checked, otherwise of no use to a FLASH image.
        for (unsigned i = 0; i < count; ++i) {
            uint8_t byte;
            if (!ReadHexByte(p, &byte)) return Fail(load, HEX_CORRUPT);
            sum = uint8_t(sum + byte);
        }
        break;
    default:
        return Fail(load, HEX_CORRUPT);
    }
    uint8_t checksum;
    if (!ReadHexByte(p, &checksum)) return Fail(load, HEX_CORRUPT);
    if (uint8_t(sum + checksum) != 0) return Fail(load, HEX_BAD_SUM);
    return p;
}

// Loads the records of text[0, size) and returns how many bytes it consumed. Unless textEnds, it stops before a
// record that may not be whole yet (fewer than kLongestRecord bytes left): the caller passes those bytes again,
// followed by more text. With textEnds the load always finishes.
size_t LoadHexBlock(HexLoad& load, const char* text, size_t size, bool textEnds) {
    const char* p = text;
    const char* end = text + size;
    while (!load.finished) {
        if (load.skippingLine) {
            if (end - p >= 2 && p[0] == '\r' && p[1] == '\n') {
                p += 2;
            } else {
                const void* lineFeed = std::memchr(p, '\n', size_t(end - p));
                if (!lineFeed) {
                    p = end;
                    load.finished = textEnds;
                    break;
                }
                p = static_cast<const char*>(lineFeed) + 1;
            }
            load.skippingLine = false;
        }
        size_t left = size_t(end - p);
        if (left < kLongestRecord && !textEnds) break;
        if (left == 0 || *p != ':') {
            load.finished = true;
            break;
        }
        const char* next;
        if (left >= kLongestRecord) {
            next = LoadRecord(load, p);
        } else {
            // The last record of the text: padded with bytes that are no hex digits, so that a field running past
            // the end fails like a field cut short.
            char last[kLongestRecord] = {};
            std::memcpy(last, p, left);
            const char* after = LoadRecord(load, last);
            next = after ? p + (after - last) : nullptr;
        }
        if (!next) {
            load.finished = true;
            break;
        }
        p = next;
        load.skippingLine = true;
    }
    return size_t(p - text);
}

}  // namespace

uint8_t LoadHexText(const char* text, size_t size, uint8_t* image, uint32_t flashSize) {
    HexLoad load{image, flashSize};
    LoadHexBlock(load, text, size, true);
    return load.status;
}

uint8_t LoadHex(const HexTextReader& read, uint8_t* image, uint32_t flashSize) {
    HexLoad load{image, flashSize};
    std::unique_ptr<char[]> buffer(new char[kReadBlock]);
    size_t held = 0;
    while (!load.finished) {
        size_t got = 0;
        bool textEnds = !read(buffer.get() + held, kReadBlock - held, &got) || got == 0;
        held += got;
        size_t used = LoadHexBlock(load, buffer.get(), held, textEnds);
        held -= used;
        std::memmove(buffer.get(), buffer.get() + used, held);
    }
    return load.status;
}
