#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "word_image.h"

namespace {

std::string WordImageText(const std::vector<uint8_t>& image) {
    uint32_t flashSize = uint32_t(image.size());
    std::string text(size_t(WordLineCount(flashSize)) * kWordLineSize, '?');
    FormatWordLines(image.data(), flashSize, 0, size_t(WordLineCount(flashSize)), &text[0]);
    return text;
}

TEST(WordImageTest, LinesShowEvenThenOddByte) {
    EXPECT_EQ(WordImageText({0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFF}),
              "0102\r\n0304\r\nFFFF\r\nFFFF\r\n");
    EXPECT_EQ(WordImageText({0x0C, 0x94}), "0C94\r\n");
}

TEST(WordImageTest, ZeroSizeGivesNoLines) {
    EXPECT_EQ(WordLineCount(0), 0u);
    EXPECT_EQ(WordImageText({}), "");
}

TEST(WordImageTest, OddSizeEndsWithErasedByte) {
    EXPECT_EQ(WordLineCount(3), 2u);
    EXPECT_EQ(WordImageText({0xAA, 0xBB, 0xCC}), "AABB\r\nCCFF\r\n");
    EXPECT_EQ(WordImageText({0x00}), "00FF\r\n");
}

TEST(WordImageTest, EveryByteValueInBothPositionsMatchesPrintf) {
    std::vector<uint8_t> image;
    for (int b = 0; b < 256; ++b) image.insert(image.end(), {uint8_t(b), uint8_t(255 - b)});
    std::string expected;
    char line[8];
    for (size_t i = 0; i < image.size(); i += 2) {
        std::snprintf(line, sizeof line, "%02X%02X\r\n", unsigned(image[i]), unsigned(image[i + 1]));
        expected += line;
    }
    EXPECT_EQ(WordImageText(image), expected);
}

TEST(WordImageTest, LinesFromTheMiddleOfTheImage) {
    const std::vector<uint8_t> image = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16};
    std::string text(2 * kWordLineSize, '?');
    FormatWordLines(image.data(), 7, 2, 2, &text[0]);
    EXPECT_EQ(text, "1415\r\n16FF\r\n");
}

struct PathCase {
    const char* input;
    const char* output;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << '"' << c.input << '"';
}

bool NoLeadBytes(unsigned char) {
    return false;
}

// The lead bytes of code page 932 (Japanese), whose trail bytes include '\\' (0x5C).
bool Cp932LeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

class WordImagePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(WordImagePathTest, ReplacesTheExtension) {
    EXPECT_EQ(WordImagePath(GetParam().input, NoLeadBytes), GetParam().output);
}

INSTANTIATE_TEST_SUITE_P(Paths, WordImagePathTest,
                         testing::Values(PathCase{"C:\\fw\\main.hex", "C:\\fw\\main.ver"},
                                         PathCase{"main.hex", "main.ver"},
                                         PathCase{"C:\\fw\\main", "C:\\fw\\main.ver"},
                                         PathCase{"C:\\fw.old\\main", "C:\\fw.old\\main.ver"},
                                         PathCase{"C:\\fw\\boot.a.hex", "C:\\fw\\boot.a.ver"},
                                         PathCase{".hex", ".ver"},
                                         PathCase{"C:\\fw\\", "C:\\fw\\.ver"},
                                         PathCase{"C:main.hex", "C:main.ver"},
                                         PathCase{"MAIN.HEX", "MAIN.ver"},
                                         PathCase{"fw.ver", "fw.ver"},
                                         PathCase{"/home/me/fw.d/image", "/home/me/fw.d/image.ver"},
                                         PathCase{"../fw/main.hex", "../fw/main.ver"},
                                         PathCase{"dir/", "dir/.ver"},
                                         PathCase{"", ".ver"},
                                         PathCase{"C:", "C:.ver"},
                                         PathCase{"прошивка.hex", "прошивка.ver"}));

class DoubleBytePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(DoubleBytePathTest, PassesOverTrailBytes) {
    EXPECT_EQ(WordImagePath(GetParam().input, Cp932LeadByte), GetParam().output);
}

// In code page 932 表 is 95 5C, ソ 83 5C, フ 83 74 and ト 83 67.
INSTANTIATE_TEST_SUITE_P(
    Cp932, DoubleBytePathTest,
    testing::Values(PathCase{"data.\x95\x5C", "data.ver"},
                    PathCase{"a.b\x95\x5C" "c", "a.ver"},
                    PathCase{"\x95\x5C.hex", "\x95\x5C.ver"},
                    PathCase{"\x83\x5C\x83\x74\x83\x67.hex", "\x83\x5C\x83\x74\x83\x67.ver"},
                    PathCase{"C:\\fw\x95\x5C\\main.hex", "C:\\fw\x95\x5C\\main.ver"},
                    PathCase{"fw.d\x95\x5C\\main", "fw.d\x95\x5C\\main.ver"},
                    PathCase{"\x95\x5C", "\x95\x5C.ver"},
                    PathCase{"fw.hex\x95", "fw.ver"},
                    PathCase{"C:\\fw\\main.hex", "C:\\fw\\main.ver"}));

}  // namespace
