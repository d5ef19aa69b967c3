#include "flash_size.h"

namespace {

bool IsSpace(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

}  // namespace

bool ParseFlashSize(const char* text, uint32_t* size) {
    while (IsSpace(*text)) ++text;
    bool negative = *text == '-';
    if (*text == '+' || *text == '-') ++text;
    if (!IsDigit(*text)) return false;
    uint32_t value = 0;
    for (; IsDigit(*text); ++text) value = value * 10 + uint32_t(*text - '0');  // wraps: keeps the lowest 32 bits
    *size = negative ? 0u - value : value;
    return true;
}

std::string ReadSizeAnswer(std::FILE* in) {
    std::string answer;
    int c = std::fgetc(in);
    while (IsSpace(c)) c = std::fgetc(in);
    if (c == '+' || c == '-') {
        answer += char(c);
        c = std::fgetc(in);
    }
    for (; IsDigit(c); c = std::fgetc(in)) answer += char(c);
    return answer;
}
