// Writing to standard output. Each platform implements this in a file of its own.
#pragma once

#include <string>

// Writes text and a line end to standard output at once, the line end as a text-mode stream writes it there. False,
// with the system's reason in *reason, when it cannot be written whole (standard output full, closed or broken).
bool WriteLine(const std::string& text, std::string* reason);
