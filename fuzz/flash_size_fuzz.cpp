// libFuzzer target for reading the FLASH size. For any text:
//   - ParseFlashSize agrees with the C library's "%u" wherever that has a defined result (fewer than ten digits),
//     and otherwise with the digits reduced modulo 2^32 by long division;
//   - a failed parse leaves the size as it was;
//   - the answer ReadSizeAnswer takes from a stream holding the text is an optional sign and digits only, and
//     parses to the same size as the text itself.
//
// Input: the text, read up to its first NUL as a C string and whole as a stream.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "flash_size.h"

namespace {

void Fail(const char* what, const std::string& text) {
    std::fprintf(stderr, "flash_size_fuzz: %s for \"%s\"\n", what, text.c_str());
    std::abort();
}

// The size a text gives, worked out apart from the parser: sign and digits found with the C library's character
// classes, the value reduced modulo 2^32 nine digits at a time. False when no digit comes. *digitCount tells how
// many digits were read.
bool ReferenceSize(const std::string& text, uint32_t* size, size_t* digitCount) {
    size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    bool negative = at < text.size() && text[at] == '-';
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    size_t digits = at;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    *digitCount = digits - at;
    if (digits == at) return false;
    uint64_t value = 0;
    for (size_t chunk = at; chunk < digits; chunk += 9) {
        std::string part = text.substr(chunk, std::min<size_t>(9, digits - chunk));
        uint64_t scale = 1;
        for (size_t i = 0; i < part.size(); ++i) scale *= 10;
        value = (value * scale + std::strtoull(part.c_str(), nullptr, 10)) % (uint64_t(1) << 32);
    }
    *size = uint32_t(negative ? (uint64_t(1) << 32) - value : value);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = bytes.c_str();

    const uint32_t untouched = 0xA5A5A5A5;
    uint32_t parsed = untouched;
    const bool ok = ParseFlashSize(text.c_str(), &parsed);
    uint32_t expected = untouched;
    size_t digitCount = 0;
    const bool expectedOk = ReferenceSize(text, &expected, &digitCount);
    if (ok != expectedOk || parsed != expected) Fail("ParseFlashSize differs from the reference", text);

    if (digitCount < 10) {
        unsigned scanned = untouched;
        const bool scannedOk = std::sscanf(text.c_str(), "%u", &scanned) == 1;
        if (ok != scannedOk || parsed != scanned) Fail("ParseFlashSize differs from %u", text);
    }

    if (size > 0) {
        std::FILE* in = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "r");
        if (!in) return 0;
        const std::string answer = ReadSizeAnswer(in);
        std::fclose(in);
        size_t start = !answer.empty() && (answer[0] == '+' || answer[0] == '-') ? 1 : 0;
        for (size_t i = start; i < answer.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(answer[i]))) Fail("answer holds more than sign and digits", text);
        }
        uint32_t fromAnswer = untouched;
        const bool answerOk = ParseFlashSize(answer.c_str(), &fromAnswer);
        if (answerOk != ok || fromAnswer != parsed) Fail("the answer read from a stream parses differently", text);
    }
    return 0;
}
