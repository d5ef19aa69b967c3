// Throughput of the loader (MB/s of HEX text in) and of the word image formatter (MB/s of text out) on memory,
// without any file I/O.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "hex_loader.h"
#include "word_image.h"

namespace {

constexpr uint32_t kImageSize = 16 << 20;

std::vector<uint8_t> RandomImage() {
    std::mt19937 random(20261210);
    std::vector<uint8_t> image(kImageSize);
    for (uint8_t& byte : image) byte = uint8_t(random());
    return image;
}

// 16-byte data records with a type 04 record every 64 KiB, CR LF line ends.
std::string HexText(const std::vector<uint8_t>& image) {
    std::string text;
    char field[16];
    for (uint32_t address = 0; address < image.size(); address += 16) {
        if (address % 65536 == 0) {
            unsigned upper = address >> 16;
            std::snprintf(field, sizeof field, "%04X", upper);
            text += ":02000004" + std::string(field);
            std::snprintf(field, sizeof field, "%02X\r\n", (0x100 - (6 + (upper >> 8) + (upper & 0xFF)) % 0x100) % 0x100);
            text += field;
        }
        unsigned sum = 16 + ((address >> 8) & 0xFF) + (address & 0xFF);
        std::snprintf(field, sizeof field, ":10%04X00", address & 0xFFFF);
        text += field;
        for (int i = 0; i < 16; ++i) {
            std::snprintf(field, sizeof field, "%02X", image[address + i]);
            text += field;
            sum += image[address + i];
        }
        std::snprintf(field, sizeof field, "%02X\r\n", (0x100 - sum % 0x100) % 0x100);
        text += field;
    }
    return text + ":00000001FF\r\n";
}

void BM_LoadHexText(benchmark::State& state) {
    const std::vector<uint8_t> source = RandomImage();
    const std::string text = HexText(source);
    std::vector<uint8_t> image(kImageSize, 0xFF);
    for (auto _ : state) {
        uint8_t status = LoadHexText(text.data(), text.size(), image.data(), kImageSize);
        if (status != HEX_END) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(image.data());
    }
    if (image != source) state.SkipWithError("loaded image differs");
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_LoadHexText)->Unit(benchmark::kMillisecond);

void BM_FormatWordLines(benchmark::State& state) {
    const std::vector<uint8_t> image = RandomImage();
    const size_t lines = size_t(WordLineCount(kImageSize));
    std::string text(lines * kWordLineSize, '\0');
    for (auto _ : state) {
        FormatWordLines(image.data(), kImageSize, 0, lines, &text[0]);
        benchmark::DoNotOptimize(&text[0]);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_FormatWordLines)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
