// Every text hex2ver shows. The source is UTF-8; the compiler turns the literals into the execution character set
// of the build (UTF-8 on Linux, Windows-1251 on Windows).
#pragma once

#include <cstdint>
#include <string>

constexpr const char kSizeQuestion[] = "Введите размер FLASH памяти (байт):\n";
constexpr const char kErrorCaption[] = "Ошибка!";
constexpr const char kPathQuestion[] = "Введите путь к HEX файлу:\n";  // where no file dialog can be shown
constexpr const char kHexFilterLabel[] = "Intel HEX (*.hex)";
constexpr const char kHexFilterPattern[] = "*.hex";
constexpr const char kHexTooBig[] = "Размер HEX файла больше объёма FLASH памяти.";
constexpr const char kBadChecksum[] = "Ошибка контрольной суммы.";
constexpr const char kHexDamaged[] = "HEX файл повреждён.";

// A message as the console shows it: on a line of its own after an empty line.
inline std::string ConsoleMessage(const std::string& text) {
    return "\n" + text + "\n";
}

inline std::string NotFoundMessage(const std::string& inputPath) {
    return "Не найден файл \"" + inputPath + "\"!";
}

inline std::string CannotCreateMessage(const std::string& outputPath) {
    return "Невозможно создать файл \"" + outputPath + "\"!";
}

inline std::string WriteFailedMessage(const std::string& outputPath) {
    return "Ошибка записи в файл \"" + outputPath + "\"!";
}

inline std::string NoMemoryMessage(uint32_t flashSize) {
    return "Недостаточно памяти для образа FLASH памяти (" + std::to_string(flashSize) + " байт).";
}
