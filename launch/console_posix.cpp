#include "console.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

bool WriteLine(const std::string& text, std::string* reason) {
    const std::string line = text + "\n";
    const char* data = line.data();
    size_t size = line.size();
    while (size > 0) {
        ssize_t n = write(STDOUT_FILENO, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            *reason = n < 0 ? std::strerror(errno) : "nothing was written";
            return false;
        }
        data += n;
        size -= size_t(n);
    }
    return true;
}
