// Test helper: prints the numbers of its open file descriptors, one a line, in increasing order.
#include <dirent.h>
#include <cstdio>
#include <cstdlib>
#include <set>

int main() {
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return 1;
    std::set<int> fds;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] != '.') fds.insert(std::atoi(entry->d_name));
    }
    fds.erase(dirfd(dir));
    closedir(dir);
    for (int fd : fds) std::printf("%d\n", fd);
    return 0;
}
