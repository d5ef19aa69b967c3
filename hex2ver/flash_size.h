// The FLASH size, read the way a C runtime's "%u" reads it, but the same on every platform.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

constexpr uint32_t kDefaultFlashSize = 8192;

// Reads a FLASH size from text: white space skipped, one optional sign ("-" gives the 32-bit two's complement),
// then decimal digits up to the first other character, a number too large keeping its lowest 32 bits. Returns
// false, leaving *size as it was, when no digit comes.
bool ParseFlashSize(const char* text, uint32_t* size);

// Reads the operator's answer from in: skips white space, line ends included, then takes an optional sign and the
// digits after it, stopping at the first other character or the end of the input.
std::string ReadSizeAnswer(std::FILE* in);
