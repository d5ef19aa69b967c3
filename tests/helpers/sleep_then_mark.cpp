// Test helper: sleep_then_mark MILLISECONDS PATH waits, then writes PATH, so that a test can tell that it ran on
// after whoever started it had returned.
#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    long milliseconds = std::atol(argv[1]);
#ifdef _WIN32
    Sleep(DWORD(milliseconds));
#else
    timespec pause{milliseconds / 1000, (milliseconds % 1000) * 1000000};
    nanosleep(&pause, nullptr);
#endif
    std::FILE* marker = std::fopen(argv[2], "w");
    if (!marker) return 1;
    std::fputs("done\n", marker);
    return std::fclose(marker) == 0 ? 0 : 1;
}
