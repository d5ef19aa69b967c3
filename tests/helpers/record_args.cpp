// Test helper: prints how many arguments it got, each one in brackets on a line of its own, and the value of
// LAUNCH_TEST_VALUE from its environment.
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    std::printf("argc=%d\n", argc - 1);
    for (int i = 1; i < argc; ++i) std::printf("[%s]\n", argv[i]);
    const char* value = std::getenv("LAUNCH_TEST_VALUE");
    std::printf("env=%s\n", value ? value : "(unset)");
    return 0;
}
