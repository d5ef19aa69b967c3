#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct InputFile {
    int fd;
};

// The output is written to a temporary file beside its target and renamed over it once complete, so that a failed
// run leaves the target as it was.
struct OutputFile {
    int fd;
    std::string tempPath;
    std::string targetPath;
};

namespace {

// The temporary file of the run, removed by the handler should the run be interrupted.
char* pendingTempPath = nullptr;
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RemoveTempAndDie(int signal) {
    if (pendingTempPath) unlink(pendingTempPath);
    std::signal(signal, SIG_DFL);
    raise(signal);
}

sigset_t BlockCleanupSignals() {
    sigset_t block, previous;
    sigemptyset(&block);
    for (int signal : kCleanupSignals) sigaddset(&block, signal);
    sigprocmask(SIG_BLOCK, &block, &previous);
    return previous;
}

void ForgetPendingTemp() {
    sigset_t previous = BlockCleanupSignals();
    std::free(pendingTempPath);
    pendingTempPath = nullptr;
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

void InstallCleanupHandlers() {
    struct sigaction action {};
    action.sa_handler = RemoveTempAndDie;
    sigemptyset(&action.sa_mask);
    for (int signal : kCleanupSignals) {
        struct sigaction old {};
        sigaction(signal, nullptr, &old);
        if (old.sa_handler != SIG_IGN) sigaction(signal, &action, nullptr);
    }
}

// Writing through a symbolic link updates the file it points to, as opening the link for writing would.
std::string ResolveLink(const std::string& path) {
    struct stat info;
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string resolved = real;
    std::free(real);
    return resolved;
}

// Writes all of data to fd, however many calls that takes; false when a write fails or writes nothing.
bool WriteWhole(int fd, const char* data, size_t size) {
    while (size > 0) {
        ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

mode_t NewFileMode() {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

bool IsPathLeadByte(unsigned char) {
    return false;
}

InputFile* OpenInput(const std::string& path) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return nullptr;
    }
    return new InputFile{fd};
}

bool ReadInput(InputFile* input, char* buffer, size_t capacity, size_t* got) {
    ssize_t n;
    do {
        n = read(input->fd, buffer, capacity);
    } while (n < 0 && errno == EINTR);
    *got = n > 0 ? size_t(n) : 0;
    return n >= 0;
}

void CloseInput(InputFile* input) {
    close(input->fd);
    delete input;
}

OutputFile* CreateOutput(const std::string& path, const InputFile* input) {
    std::string target = ResolveLink(path);
    struct stat existing;
    bool exists = stat(target.c_str(), &existing) == 0;
    if (exists) {
        struct stat inputInfo;
        bool isInput = fstat(input->fd, &inputInfo) == 0 && inputInfo.st_dev == existing.st_dev &&
                       inputInfo.st_ino == existing.st_ino;
        // A file without any write permission is read-only even for root, as the read-only attribute is.
        bool readOnly = (existing.st_mode & 0222) == 0 || access(target.c_str(), W_OK) != 0;
        if (!S_ISREG(existing.st_mode) || readOnly || isInput) return nullptr;
    }

    InstallCleanupHandlers();
    std::string temp = target + ".XXXXXX";
    sigset_t previous = BlockCleanupSignals();
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd >= 0) pendingTempPath = strdup(temp.c_str());
    sigprocmask(SIG_SETMASK, &previous, nullptr);
    if (fd < 0) return nullptr;

    // The replacement keeps the owner and the mode of the file it replaces; set-id bits only with the owner. Best
    // effort: some file systems keep neither.
    mode_t mode = NewFileMode();
    if (exists) {
        bool sameOwner = fchown(fd, existing.st_uid, existing.st_gid) == 0;
        mode = existing.st_mode & (sameOwner ? 07777 : 0777);
    }
    fchmod(fd, mode);
    return new OutputFile{fd, temp, target};
}

bool WriteOutput(OutputFile* output, const char* data, size_t size) {
    return WriteWhole(output->fd, data, size);
}

bool CommitOutput(OutputFile* output) {
    bool closed = close(output->fd) == 0;
    bool committed = closed && rename(output->tempPath.c_str(), output->targetPath.c_str()) == 0;
    if (!committed) unlink(output->tempPath.c_str());
    ForgetPendingTemp();
    delete output;
    return committed;
}

void DiscardOutput(OutputFile* output) {
    close(output->fd);
    unlink(output->tempPath.c_str());
    ForgetPendingTemp();
    delete output;
}

void PrintConsole(const std::string& text) {
    if (!WriteWhole(STDOUT_FILENO, text.data(), text.size())) PrintConsoleError(text);
}

void PrintConsoleError(const std::string& text) {
    // Standard error is the last place left to tell anything.
    (void)WriteWhole(STDERR_FILENO, text.data(), text.size());
}
