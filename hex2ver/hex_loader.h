// Intel HEX loader: lays the data bytes of a HEX file into a FLASH image and checks every record on the way.
#pragma once

#include <cstddef>
#include <cstdint>

struct InputFile;

// Load status bits. A load stops as soon as one is set, so at most one is ever set; 0 means the text stopped
// where a record should begin or before the line end after a record.
constexpr uint8_t HEX_CORRUPT = 0x01;  // a field is not hex digits or is cut short; or a record type above 05
constexpr uint8_t HEX_TOO_BIG = 0x02;  // a data byte's address is at or beyond the FLASH size
constexpr uint8_t HEX_END = 0x04;      // the end-of-file record was read
constexpr uint8_t HEX_BAD_SUM = 0x08;  // a record's checksum does not match

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

// Loads the records of text[0, size) and returns how many bytes it consumed. Unless textEnds, it stops before a
// record that may not be whole yet (fewer than kLongestRecord bytes left): the caller passes those bytes again,
// followed by more text. With textEnds the load always finishes.
size_t LoadHexBlock(HexLoad& load, const char* text, size_t size, bool textEnds);

// Loads a whole HEX text held in memory; returns the load status.
uint8_t LoadHexText(const char* text, size_t size, uint8_t* image, uint32_t flashSize);

// Loads the HEX file from its first byte, reading it in large blocks; returns the load status. A read error counts
// as the end of the file at that point.
uint8_t LoadHex(InputFile* input, uint8_t* image, uint32_t flashSize);
