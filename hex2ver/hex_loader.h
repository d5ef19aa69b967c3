// Intel HEX loader: lays the data bytes of a HEX file into a FLASH image and checks every record on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// Load status bits. A load stops as soon as one is set, so at most one is ever set; 0 means the text stopped
// where a record should begin or before the line end after a record.
constexpr uint8_t HEX_CORRUPT = 0x01;  // a field is not hex digits or is cut short; or a record type above 05
constexpr uint8_t HEX_TOO_BIG = 0x02;  // a data byte's address is at or beyond the FLASH size
constexpr uint8_t HEX_END = 0x04;      // the end-of-file record was read
constexpr uint8_t HEX_BAD_SUM = 0x08;  // a record's checksum does not match

// Hands the loader its next piece of HEX text: up to capacity bytes into buffer, how many in *got, none at the end
// of the text. False on a read error, which counts as the end of the text at that point.
typedef std::function<bool(char* buffer, size_t capacity, size_t* got)> HexTextReader;

// Loads the HEX text that read hands out, from its first byte, in blocks as large as read gives; returns the load
// status.
uint8_t LoadHex(const HexTextReader& read, uint8_t* image, uint32_t flashSize);

// Loads a whole HEX text held in memory; returns the load status.
uint8_t LoadHexText(const char* text, size_t size, uint8_t* image, uint32_t flashSize);
