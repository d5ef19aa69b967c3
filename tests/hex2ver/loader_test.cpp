#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "hex_loader.h"
#include "platform.h"

namespace {

// A record with its checksum worked out: Record(0x00, 0x0010, {1, 2}) is ":020010000102EB".
std::string Record(uint8_t type, uint16_t offset, const std::vector<uint8_t>& data) {
    unsigned sum = unsigned(data.size()) + (offset >> 8) + (offset & 0xFF) + type;
    char field[16];
    std::snprintf(field, sizeof field, ":%02X%04X%02X", unsigned(data.size()), unsigned(offset), unsigned(type));
    std::string record = field;
    for (uint8_t byte : data) {
        std::snprintf(field, sizeof field, "%02X", unsigned(byte));
        record += field;
        sum += byte;
    }
    std::snprintf(field, sizeof field, "%02X", (0x100 - sum % 0x100) % 0x100);
    return record + field;
}

const std::string kEnd = ":00000001FF";

struct Loaded {
    uint8_t status;
    std::vector<uint8_t> image;
};

Loaded Load(const std::string& text, uint32_t flashSize = 16) {
    Loaded loaded{0, std::vector<uint8_t>(flashSize, 0xFF)};
    loaded.status = LoadHexText(text.data(), text.size(), loaded.image.data(), flashSize);
    return loaded;
}

TEST(LoadHexTest, RecordChecksumHelperMatchesAKnownRecord) {
    EXPECT_EQ(Record(0x00, 0x0010, {1, 2}), ":020010000102EB");
    EXPECT_EQ(Record(0x01, 0, {}), kEnd);
}

struct StatusCase {
    const char* name;
    std::string text;
    uint32_t flashSize;
    uint8_t status;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
    *os << c.name;
}

class LoadStatusTest : public testing::TestWithParam<StatusCase> {};

TEST_P(LoadStatusTest, GivesStatus) {
    EXPECT_EQ(Load(GetParam().text, GetParam().flashSize).status, GetParam().status);
}

const std::string kData = Record(0x00, 0, {0x11, 0x22});

INSTANTIATE_TEST_SUITE_P(
    Records, LoadStatusTest,
    testing::Values(
        StatusCase{"OnlyEndRecord", kEnd + "\r\n", 16, HEX_END},
        StatusCase{"EndRecordWithoutLineEnd", kEnd, 16, HEX_END},
        StatusCase{"EmptyFile", "", 16, 0},
        StatusCase{"DataWithoutEndRecord", kData + "\r\n", 16, 0},
        StatusCase{"BlankBeforeColon", " " + kEnd + "\n", 16, 0},
        StatusCase{"EmptyLineFirst", "\n" + kEnd + "\n", 16, 0},
        StatusCase{"EmptyLineBetweenRecords", kData + "\n\n" + kEnd + "\n", 16, 0},
        StatusCase{"ByteOrderMark", "\xEF\xBB\xBF" + kEnd + "\n", 16, 0},
        StatusCase{"LineFeedsOnly", kData + "\n" + kEnd + "\n", 16, HEX_END},
        StatusCase{"CommentAfterChecksum", kData + "  ; boot vector\r\n" + kEnd + "\r\n", 16, HEX_END},
        StatusCase{"CarriageReturnsOnly", kData + "\r" + kEnd + "\r", 16, 0},
        StatusCase{"CarriageReturnsAfterEndRecord", kEnd + "\r" + kData + "\r", 16, HEX_END},
        StatusCase{"LastRecordWithoutLineFeed", kData, 16, 0},
        StatusCase{"LowerCaseDigits", ":0200000011aa43\n" + kEnd, 16, HEX_END},
        StatusCase{"WrongChecksum", ":020000001122CA\n" + kEnd, 16, HEX_BAD_SUM},
        StatusCase{"EndRecordWrongChecksum", ":00000001FE\n", 16, HEX_END},
        StatusCase{"EndRecordNoChecksum", ":00000001", 16, HEX_END},
        StatusCase{"EndRecordThenGarbage", kEnd + "\n\x01\x02garbage:zz\n", 16, HEX_END},
        StatusCase{"EndRecordOddCountAndOffset", ":05123401\n", 16, HEX_END},
        StatusCase{"LastByteInside", Record(0x00, 15, {0x00}) + "\n" + kEnd, 16, HEX_END},
        StatusCase{"ByteAtFlashSize", Record(0x00, 15, {0x00, 0xFF}) + "\n" + kEnd, 16, HEX_TOO_BIG},
        StatusCase{"ZeroSizeWithData", kData + "\n" + kEnd, 0, HEX_TOO_BIG},
        StatusCase{"ZeroSizeWithoutData", Record(0x04, 0, {0, 1}) + "\n" + kEnd, 0, HEX_END},
        StatusCase{"ZeroCountData", Record(0x00, 0xFFFF, {}) + "\n" + kEnd, 0, HEX_END},
        StatusCase{"StartSegmentAddress", Record(0x03, 0, {0x12, 0x34, 0x56, 0x78}) + "\n" + kEnd, 16, HEX_END},
        StatusCase{"StartLinearAddress", Record(0x05, 0, {0x00, 0x01, 0x02, 0x03}) + "\n" + kEnd, 16, HEX_END},
        StatusCase{"StartAddressBadDigit", ":0400000312G45678\n", 16, HEX_CORRUPT},
        StatusCase{"TypeSix", Record(0x06, 0, {}) + "\n" + kEnd, 16, HEX_CORRUPT},
        StatusCase{"TypeFF", ":000000FF01\n", 16, HEX_CORRUPT},
        StatusCase{"CountNotHex", ":0G00000000\n", 16, HEX_CORRUPT},
        StatusCase{"OffsetCutShort", ":00000", 16, HEX_CORRUPT},
        StatusCase{"TypeCutShort", ":0000000", 16, HEX_CORRUPT},
        StatusCase{"DataCutShort", ":020000001122", 16, HEX_CORRUPT},
        StatusCase{"ChecksumNotHex", ":0200000011223X\n", 16, HEX_CORRUPT},
        StatusCase{"BlankInsideData", ":0200000011 2CB\n", 16, HEX_CORRUPT},
        StatusCase{"SignInsideCount", ":+100000000\n", 16, HEX_CORRUPT},
        StatusCase{"BadDigitBeyondFlashSize", ":02000F00AAZZ00\n", 16, HEX_CORRUPT},
        StatusCase{"TooBigBeforeBadDigit", ":02000F00AAAAZZ\n", 15, HEX_TOO_BIG},
        StatusCase{"AddressValueCutShort", ":02000004000", 16, HEX_CORRUPT},
        StatusCase{"AddressValueWrongChecksum", ":02000004000100\n", 16, HEX_BAD_SUM},
        // Types 02 and 04 read one four-digit value whatever the count says; the checksum is the next byte.
        StatusCase{"LinearAddressCountFour", ":040000040001F70000\n" + kEnd, 16, HEX_END},
        StatusCase{"LinearAddressCountFourWrongSum", ":04000004000100000000\n" + kEnd, 16, HEX_BAD_SUM}),
    [](const testing::TestParamInfo<StatusCase>& info) { return std::string(info.param.name); });

TEST(LoadHexTest, StoresDataAtTheirAddressesAndLeavesTheRestErased) {
    Loaded loaded = Load(Record(0x00, 2, {0x0C, 0x94, 0x5D}) + "\r\n" + ":02000A00abCD7C\r\n" + kEnd + "\r\n", 16);
    ASSERT_EQ(loaded.status, HEX_END);
    std::vector<uint8_t> expected(16, 0xFF);
    expected[2] = 0x0C, expected[3] = 0x94, expected[4] = 0x5D, expected[10] = 0xAB, expected[11] = 0xCD;
    EXPECT_EQ(loaded.image, expected);
}

TEST(LoadHexTest, EndRecordAloneLeavesImageErased) {
    Loaded loaded = Load(kEnd, 64);
    EXPECT_EQ(loaded.status, HEX_END);
    EXPECT_EQ(loaded.image, std::vector<uint8_t>(64, 0xFF));
}

TEST(LoadHexTest, NothingAfterEndRecordIsLoaded) {
    Loaded loaded = Load(kEnd + "\n" + Record(0x00, 0, {0x42}) + "\n", 4);
    EXPECT_EQ(loaded.status, HEX_END);
    EXPECT_EQ(loaded.image[0], 0xFF);
}

TEST(LoadHexTest, LaterRecordOverwritesEarlierOne) {
    Loaded loaded = Load(Record(0x00, 4, {0x01, 0x02}) + "\n" + Record(0x00, 5, {0x07}) + "\n" + kEnd, 8);
    ASSERT_EQ(loaded.status, HEX_END);
    EXPECT_EQ(loaded.image[4], 0x01);
    EXPECT_EQ(loaded.image[5], 0x07);
}

TEST(LoadHexTest, WrongChecksumKeepsBytesAlreadyStored) {
    Loaded loaded = Load(":020000001122CA\n", 4);
    ASSERT_EQ(loaded.status, HEX_BAD_SUM);
    EXPECT_EQ(loaded.image[0], 0x11);
    EXPECT_EQ(loaded.image[1], 0x22);
}

TEST(LoadHexTest, TooBigStopsAtTheFirstByteOutside) {
    Loaded loaded = Load(Record(0x00, 2, {0x01, 0x02, 0x03}), 4);
    ASSERT_EQ(loaded.status, HEX_TOO_BIG);
    EXPECT_EQ(loaded.image, (std::vector<uint8_t>{0xFF, 0xFF, 0x01, 0x02}));
}

// Every character value, at either end of both halves of a sixteen-digit group, is a digit with its value or fails
// the record as corrupt.
TEST(LoadHexTest, EveryCharacterInADataGroupIsJudgedAlone) {
    const std::string digits = "0123456789ABCDEFabcdef";
    for (int c = 0; c < 256; ++c) {
        const bool isDigit = digits.find(char(c)) != std::string::npos;
        for (size_t position : {0, 7, 8, 15}) {
            std::string data = "0011223344556677";
            data[position] = char(c);
            unsigned value = isDigit ? unsigned(std::stoul(data.substr(position & ~size_t(1), 2), nullptr, 16)) : 0;
            unsigned sum = 8 + 0x11 * 28 - 0x11 * ((position / 2) % 8) + value;  // count + data, changed pair
            char checksum[4];
            std::snprintf(checksum, sizeof checksum, "%02X", (0x100 - sum % 0x100) % 0x100);
            Loaded loaded = Load(":08000000" + data + checksum + "\n" + kEnd, 8);
            ASSERT_EQ(loaded.status, isDigit ? HEX_END : HEX_CORRUPT) << "character " << c << " at " << position;
            if (isDigit) {
                EXPECT_EQ(loaded.image[position / 2], value) << "character " << c << " at " << position;
            }
        }
    }
}

struct BaseCase {
    const char* name;
    std::string baseRecord;
    uint16_t offset;
    uint32_t address;
};

void PrintTo(const BaseCase& c, std::ostream* os) {
    *os << c.name;
}

class BaseAddressTest : public testing::TestWithParam<BaseCase> {};

TEST_P(BaseAddressTest, DataLandsAtBasePlusOffset) {
    const BaseCase& c = GetParam();
    uint32_t flashSize = c.address + 2;
    Loaded loaded = Load(c.baseRecord + "\n" + Record(0x00, c.offset, {0xA5, 0x5A}) + "\n" + kEnd, flashSize);
    ASSERT_EQ(loaded.status, HEX_END);
    EXPECT_EQ(loaded.image[c.address], 0xA5);
    EXPECT_EQ(loaded.image[c.address + 1], 0x5A);
    EXPECT_EQ(std::count(loaded.image.begin(), loaded.image.end(), 0xFF), std::ptrdiff_t(flashSize - 2));
}

INSTANTIATE_TEST_SUITE_P(
    Records, BaseAddressTest,
    testing::Values(BaseCase{"Segment1000", Record(0x02, 0, {0x10, 0x00}), 0x0000, 0x10000},
                    BaseCase{"Segment0800", Record(0x02, 0, {0x08, 0x00}), 0x0010, 0x8010},
                    BaseCase{"Linear0001", Record(0x04, 0, {0x00, 0x01}), 0x0000, 0x10000},
                    BaseCase{"LinearThenOffset", Record(0x04, 0, {0x00, 0x01}), 0x1234, 0x11234},
                    // A data record runs on past a 64 KiB boundary without a new base record.
                    BaseCase{"AcrossBoundary", Record(0x04, 0, {0x00, 0x00}), 0xFFFF, 0xFFFF}),
    [](const testing::TestParamInfo<BaseCase>& info) { return std::string(info.param.name); });

TEST(LoadHexTest, StartAddressRecordsLeaveImageAlone) {
    Loaded loaded = Load(Record(0x05, 0, {0x00, 0x00, 0x00, 0x01}) + "\n" + Record(0x03, 0, {0x00, 0x00, 0x00, 0x02}) +
                             "\n" + kEnd,
                         8);
    EXPECT_EQ(loaded.status, HEX_END);
    EXPECT_EQ(loaded.image, std::vector<uint8_t>(8, 0xFF));
}

// A HEX text of many records of every length, with comments, CR LF and LF line ends and a type 04 record.
std::string ManyRecords() {
    std::string text;
    uint32_t address = 0;
    for (int i = 0; i < 300; ++i) {
        if (address % 4096 < 200) text += Record(0x04, 0, {0x00, 0x00}) + "\n";
        std::vector<uint8_t> data(size_t((i * 37) % 256));
        for (size_t k = 0; k < data.size(); ++k) data[k] = uint8_t(i * 7 + k);
        text += Record(0x00, uint16_t(address), data) + (i % 3 ? "\r\n" : " ; note " + std::string(i, '-') + "\n");
        address += uint32_t(data.size());
    }
    return text + kEnd + "\r\n";
}

// Hands text to LoadHex at most piece bytes at a time, as a pipe or a slow device may.
Loaded LoadInPieces(const std::string& text, size_t piece, uint32_t flashSize) {
    Loaded loaded{0, std::vector<uint8_t>(flashSize, 0xFF)};
    size_t next = 0;
    loaded.status = LoadHex([&](char* buffer, size_t capacity, size_t* got) {
        *got = std::min({piece, capacity, text.size() - next});
        std::memcpy(buffer, text.data() + next, *got);
        next += *got;
        return true;
    }, loaded.image.data(), flashSize);
    return loaded;
}

TEST(LoadHexPiecesTest, PiecesOfAnySizeLoadLikeTheWholeText) {
    const std::string text = ManyRecords();
    const Loaded whole = Load(text, 65536);
    ASSERT_EQ(whole.status, HEX_END);
    for (size_t piece : {1, 2, 7, 64, 520, 521, 522, 4096}) {
        Loaded pieces = LoadInPieces(text, piece, 65536);
        EXPECT_EQ(pieces.status, HEX_END) << "piece " << piece;
        EXPECT_TRUE(pieces.image == whole.image) << "piece " << piece;
    }
}

TEST(LoadHexPiecesTest, FailuresInPiecesMatchTheWholeText) {
    for (const std::string& text : {std::string(":0200000011"), kData + "\r", kData + "\n:0G", ManyRecords() + "x"}) {
        const Loaded whole = Load(text, 65536);
        for (size_t piece : {1, 3, 521}) {
            EXPECT_EQ(LoadInPieces(text, piece, 65536).status, whole.status) << text.substr(0, 20) << " " << piece;
        }
    }
}

// A read error counts as the end of the text where it happens: inside a field, before a record, in the skip to
// the line end, after the end-of-file record.
TEST(LoadHexPiecesTest, ReadErrorIsTheEndOfTheText) {
    const std::string text = kData + " ;\r\n" + kEnd + "\r\n";
    for (size_t at = 0; at <= text.size(); ++at) {
        std::vector<uint8_t> image(16, 0xFF);
        size_t next = 0;
        uint8_t status = LoadHex([&](char* buffer, size_t capacity, size_t* got) {
            if (next == at) return false;
            *got = std::min(capacity, at - next);
            std::memcpy(buffer, text.data() + next, *got);
            next += *got;
            return true;
        }, image.data(), 16);
        EXPECT_EQ(status, Load(text.substr(0, at)).status) << "read error after " << at << " bytes";
    }
}

TEST(LoadHexFileTest, ReadsFileLargerThanOneBlockWithLongComments) {
    std::string text;
    for (uint32_t address = 0; address < 65536; address += 16) {
        std::vector<uint8_t> data(16);
        for (size_t k = 0; k < 16; ++k) data[k] = uint8_t((address + k) * 13);
        text += Record(0x00, uint16_t(address), data);
        // Now and then a comment longer than a read block, so the skip to the line end spans reads.
        text += address % 16384 == 0 ? " " + std::string(300000, '#') + "\n" : "\r\n";
    }
    text += kEnd + "\r\n";
    const std::string path = testing::TempDir() + "hex2ver_loader_test.hex";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);

    InputFile* input = OpenInput(path);
    ASSERT_NE(input, nullptr);
    std::vector<uint8_t> image(65536, 0xFF);
    uint8_t status = LoadHex([input](char* buffer, size_t capacity, size_t* got) {
        return ReadInput(input, buffer, capacity, got);
    }, image.data(), 65536);
    CloseInput(input);
    std::remove(path.c_str());

    EXPECT_EQ(status, HEX_END);
    for (uint32_t address = 0; address < 65536; ++address) {
        ASSERT_EQ(image[address], uint8_t(address * 13)) << "address " << address;
    }
}

}  // namespace
