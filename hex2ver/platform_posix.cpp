#include "platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

struct InputFile {
    int fd;
};

// The output is written to a file of its own in its target's directory and renamed over the target only once it
// is complete, so that a failed run leaves the target as it was. Where the file system allows it, that file has no
// name until then (O_TMPFILE), and a run that ends in any way, SIGKILL included, leaves nothing behind; elsewhere
// it is a named temporary file, which the handlers of the catchable signals remove.
struct OutputFile {
    int fd;
    std::string targetPath;
    std::string tempPath;  // empty while the file has no name
    off_t written = 0;
};

namespace {

// The named temporary file of the run, removed by the handler should the run be ended by a signal.
char* pendingTempPath = nullptr;
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RemoveTempAndDie(int signal) {
    // On the way out: there is nothing left to do should these calls fail.
    if (pendingTempPath) (void)unlink(pendingTempPath);
    (void)std::signal(signal, SIG_DFL);
    (void)raise(signal);
}

// Holds the clean-up signals back, so that the handler never sees the temporary path half set or a commit half
// done; false (nothing changed) when the mask cannot be set.
bool BlockCleanupSignals(sigset_t* previous) {
    sigset_t block;
    sigemptyset(&block);
    for (int signal : kCleanupSignals) sigaddset(&block, signal);
    return sigprocmask(SIG_BLOCK, &block, previous) == 0;
}

void RestoreSignals(const sigset_t& previous) {
    // Restoring a mask that was set a moment ago cannot fail.
    (void)sigprocmask(SIG_SETMASK, &previous, nullptr);
}

// Sets or clears the path the handler removes; call with the clean-up signals blocked.
void SetPendingTemp(const std::string& path) {
    std::free(pendingTempPath);
    pendingTempPath = path.empty() ? nullptr : strdup(path.c_str());
}

// Installs the handler for every clean-up signal that is not ignored (an ignored one cannot end the run).
bool InstallCleanupHandlers() {
    struct sigaction action {};
    action.sa_handler = RemoveTempAndDie;
    sigemptyset(&action.sa_mask);
    for (int signal : kCleanupSignals) {
        struct sigaction old {};
        if (sigaction(signal, nullptr, &old) != 0) return false;
        if (old.sa_handler != SIG_IGN && sigaction(signal, &action, nullptr) != 0) return false;
    }
    return true;
}

std::string DirectoryOf(const std::string& path) {
    size_t separator = path.rfind('/');
    return separator == std::string::npos ? "." : path.substr(0, separator + 1);
}

// An unnamed file in directory, or -1 where the file system or the kernel refuses such files.
int OpenUnnamed(const std::string& directory) {
    return open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
}

// A new named file target.XXXXXX, recorded for the signal handler; -1 when none can be made.
int OpenNamedTemp(const std::string& target, std::string* tempPath) {
    std::string temp = target + ".XXXXXX";
    sigset_t previous;
    if (!BlockCleanupSignals(&previous)) return -1;
    int fd = mkostemp(&temp[0], O_CLOEXEC);
    if (fd >= 0) SetPendingTemp(temp);
    RestoreSignals(previous);
    if (fd >= 0) *tempPath = temp;
    return fd;
}

// Gives the unnamed file fd the name path, which must be free (EEXIST otherwise).
bool LinkUnnamed(int fd, const std::string& path) {
    // Through /proc for any user; without /proc, AT_EMPTY_PATH, which needs CAP_DAC_READ_SEARCH.
    const std::string procPath = "/proc/self/fd/" + std::to_string(fd);
    if (linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
    return errno == ENOENT && linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH) == 0;
}

// Gives the unnamed file fd a free name target.XXXXXX beside its target, recorded for the signal handler; false
// when it cannot be linked there.
bool NameUnnamed(int fd, const std::string& target, std::string* tempPath) {
    const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned long seed = (unsigned long)getpid() * 2654435761ul ^ (unsigned long)time(nullptr);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = target + ".";
        for (int i = 0; i < 6; ++i, seed = seed * 6364136223846793005ul + 1442695040888963407ul) {
            temp += letters[(seed >> 33) % (sizeof letters - 1)];
        }
        if (LinkUnnamed(fd, temp)) {
            SetPendingTemp(temp);
            *tempPath = temp;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
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
        (void)close(fd);  // read nothing: nothing to lose
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
    (void)close(input->fd);  // only read: closing it cannot lose anything
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

    if (!InstallCleanupHandlers()) return nullptr;
    std::string tempPath;
    int fd = OpenUnnamed(DirectoryOf(target));
    if (fd < 0) fd = OpenNamedTemp(target, &tempPath);
    if (fd < 0) return nullptr;

    // The replacement keeps the owner and the mode of the file it replaces; set-id bits only with the owner. Best
    // effort: only root may give a file away, and some file systems keep no owners or modes, so a failure of
    // either call leaves the file as its creation made it.
    mode_t mode = NewFileMode();
    if (exists) {
        bool sameOwner = fchown(fd, existing.st_uid, existing.st_gid) == 0;
        mode = existing.st_mode & (sameOwner ? 07777 : 0777);
    }
    (void)fchmod(fd, mode);
    return new OutputFile{fd, target, tempPath};
}

bool WriteOutput(OutputFile* output, const char* data, size_t size) {
    // Starts the disk writes of what the earlier calls wrote: a rename over an existing file makes ext4 flush the
    // whole new file first (so that a crash cannot leave it empty), and the run would wait for all of it there. An
    // output written in one call is left to the usual write-back. Only a hint: where it is refused the data is
    // written back as usual.
    if (output->written > 0) (void)sync_file_range(output->fd, 0, output->written, SYNC_FILE_RANGE_WRITE);
    if (!WriteWhole(output->fd, data, size)) return false;
    output->written += off_t(size);
    return true;
}

bool CommitOutput(OutputFile* output) {
    // A signal that comes now waits until the target is either the old file or the whole new one.
    sigset_t previous;
    bool blocked = BlockCleanupSignals(&previous);
    bool committed;
    // Closing reports the write errors some file systems (NFS) keep until then.
    if (output->tempPath.empty() && LinkUnnamed(output->fd, output->targetPath)) {
        // Nothing was there: the new file takes its name at once.
        committed = close(output->fd) == 0;
        if (!committed) (void)unlink(output->targetPath.c_str());  // ours, just made; nothing else to do
    } else {
        // A file is to be replaced: the new one gets a name beside it first, to be renamed over it. A SIGKILL
        // between the two calls leaves that name.
        bool named = !output->tempPath.empty() || NameUnnamed(output->fd, output->targetPath, &output->tempPath);
        bool closed = close(output->fd) == 0;
        committed = named && closed && rename(output->tempPath.c_str(), output->targetPath.c_str()) == 0;
        if (named && !committed) (void)unlink(output->tempPath.c_str());  // a leftover we made; nothing else to do
    }
    SetPendingTemp("");
    if (blocked) RestoreSignals(previous);
    delete output;
    return committed;
}

void DiscardOutput(OutputFile* output) {
    // Dropped whatever the result: an unnamed file goes with its descriptor, a named one with its name.
    (void)close(output->fd);
    if (!output->tempPath.empty()) {
        sigset_t previous;
        bool blocked = BlockCleanupSignals(&previous);
        (void)unlink(output->tempPath.c_str());
        SetPendingTemp("");
        if (blocked) RestoreSignals(previous);
    }
    delete output;
}

void PrintConsole(const std::string& text) {
    if (!WriteWhole(STDOUT_FILENO, text.data(), text.size())) PrintConsoleError(text);
}

void PrintConsoleError(const std::string& text) {
    // Standard error is the last place left to tell anything.
    (void)WriteWhole(STDERR_FILENO, text.data(), text.size());
}
