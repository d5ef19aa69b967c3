#include "command_line.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string JoinArguments(int count, char* const* arguments) {
    std::string line;
    for (int i = 0; i < count; ++i) {
        if (i > 0) line += ' ';
        line += arguments[i];
    }
    return line;
}

bool IsBlankCommandLine(const std::string& commandLine) {
    return commandLine.find_first_not_of(" \t") == std::string::npos;
}

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> words;
    size_t i = 0;
    const size_t n = commandLine.size();
    while (true) {
        while (i < n && IsBlank(commandLine[i])) ++i;
        if (i == n) break;
        std::string word;
        bool quoted = false;
        while (i < n && (quoted || !IsBlank(commandLine[i]))) {
            char c = commandLine[i];
            if (c == '\\') {
                size_t backslashes = 0;
                while (i < n && commandLine[i] == '\\') ++backslashes, ++i;
                if (i < n && commandLine[i] == '"') {
                    word.append(backslashes / 2, '\\');
                    if (backslashes % 2) {
                        word += '"';
                        ++i;
                    }
                } else {
                    word.append(backslashes, '\\');
                }
            } else if (c == '"') {
                quoted = !quoted;
                ++i;
            } else {
                word += c;
                ++i;
            }
        }
        words.push_back(word);
    }
    return words;
}
