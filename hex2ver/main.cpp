// hex2ver: converts an Intel HEX file into the word image file of a FLASH memory.
//
//   hex2ver FILE.hex [FLASH-SIZE]
//   hex2ver                          (the file is picked in a dialog, the message shown in a box)
//
// writes FILE.ver beside FILE.hex, or shows one message and ends with exit status 1.

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "dialogs.h"
#include "flash_size.h"
#include "hex_loader.h"
#include "messages.h"
#include "platform.h"
#include "word_image.h"

namespace {

uint32_t AskFlashSize() {
    uint32_t flashSize = kDefaultFlashSize;
    PrintConsole(kSizeQuestion);
    ParseFlashSize(ReadSizeAnswer(stdin).c_str(), &flashSize);
    return flashSize;
}

std::unique_ptr<uint8_t[]> AllocateErasedImage(uint32_t flashSize) {
    std::unique_ptr<uint8_t[]> image(new (std::nothrow) uint8_t[flashSize]);
    if (!image) throw NoMemoryMessage(flashSize);
    std::memset(image.get(), 0xFF, flashSize);
    return image;
}

std::string LoadFailureMessage(uint8_t status) {
    switch (status) {
    case HEX_TOO_BIG: return kHexTooBig;
    case HEX_BAD_SUM: return kBadChecksum;
    default: return kHexDamaged;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool dialogMode = argc < 2;
    std::string message;
    InputFile* input = nullptr;
    OutputFile* output = nullptr;
    uint32_t flashSize = kDefaultFlashSize;
    try {
        std::string inputPath;
        if (!dialogMode) {
            inputPath = argv[1];
        } else if (!PickHexFile(&inputPath)) {
            return 0;
        }
        if (argc > 2) {
            ParseFlashSize(argv[2], &flashSize);
        } else {
            flashSize = AskFlashSize();
        }
        const std::string outputPath = WordImagePath(inputPath, IsPathLeadByte);
        std::unique_ptr<uint8_t[]> image = AllocateErasedImage(flashSize);

        input = OpenInput(inputPath);
        if (!input) throw NotFoundMessage(inputPath);
        output = CreateOutput(outputPath, input);
        if (!output) throw CannotCreateMessage(outputPath);

        uint8_t status = LoadHex([input](char* buffer, size_t capacity, size_t* got) {
            return ReadInput(input, buffer, capacity, got);
        }, image.get(), flashSize);
        if (status != HEX_END) throw LoadFailureMessage(status);
        if (!WriteWordImage(output, image.get(), flashSize)) throw WriteFailedMessage(outputPath);
        bool committed = CommitOutput(output);
        output = nullptr;
        if (!committed) throw WriteFailedMessage(outputPath);
    } catch (const std::string& text) {
        message = text;
    } catch (const std::bad_alloc&) {
        message = NoMemoryMessage(flashSize);
    }
    // Released before the message is shown, so that no temporary file outlives an interrupted or blocked print.
    if (input) CloseInput(input);
    if (output) DiscardOutput(output);
    if (message.empty()) return 0;
    if (dialogMode) {
        ShowMessageBox(message);
    } else {
        PrintConsole(ConsoleMessage(message));
    }
    return 1;
}
