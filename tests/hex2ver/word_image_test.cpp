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

class WordImagePathTest : public testing::TestWithParam<PathCase> {};

TEST_P(WordImagePathTest, ReplacesTheExtension) {
    EXPECT_EQ(WordImagePath(GetParam().input), GetParam().output);
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

}  // namespace
