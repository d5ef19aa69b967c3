#include "dialogs.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "messages.h"
#include "platform.h"

extern char** environ;

namespace {

// zenity shows the dialogs where there is a desktop: a display and the program on PATH. Empty otherwise, and the
// dialogs fall back to the terminal.
std::string DesktopDialogProgram() {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* searchPath = std::getenv("PATH");
    if (!((display && *display) || (wayland && *wayland)) || !searchPath) return "";
    const std::string directories = searchPath;
    for (size_t start = 0; start <= directories.size();) {
        size_t end = directories.find(':', start);
        if (end == std::string::npos) end = directories.size();
        std::string directory = directories.substr(start, end - start);
        std::string candidate = (directory.empty() ? "." : directory) + "/zenity";
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return "";
}

// Runs a dialog program without a shell and waits for it, collecting its standard output in *output. Returns its
// exit status, or -1 when it could not be started or did not exit by itself.
int RunDialog(const std::string& program, std::vector<std::string> arguments, std::string* output) {
    int fromDialog[2];
    if (pipe2(fromDialog, O_CLOEXEC) != 0) return -1;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (std::string& argument : arguments) argv.push_back(&argument[0]);
    argv.push_back(nullptr);
    // Should a set-up call fail, the dialog is not started, as when the program cannot be.
    pid_t pid = 0;
    posix_spawn_file_actions_t actions;
    int error = posix_spawn_file_actions_init(&actions);
    if (error == 0) {
        error = posix_spawn_file_actions_adddup2(&actions, fromDialog[1], STDOUT_FILENO);
        if (error == 0) error = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
        if (error == 0) error = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    (void)close(fromDialog[1]);  // the child's end: closing it cannot lose anything
    if (error == 0) {
        char buffer[4096];
        ssize_t n;
        while ((n = read(fromDialog[0], buffer, sizeof buffer)) != 0) {
            if (n > 0) output->append(buffer, size_t(n));
            else if (errno != EINTR) break;
        }
    }
    (void)close(fromDialog[0]);  // read to its end, or never used
    if (error != 0) return -1;
    int status;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One line of standard input without its line end; false at the end of the input with nothing read.
bool ReadLine(std::string* line) {
    line->clear();
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n') *line += char(c);
    if (!line->empty() && line->back() == '\r') line->pop_back();
    return c != EOF || !line->empty();
}

}  // namespace

bool PickHexFile(std::string* path) {
    const std::string zenity = DesktopDialogProgram();
    if (zenity.empty()) {
        PrintConsole(kPathQuestion);
        return ReadLine(path) && !path->empty();
    }
    std::string chosen;
    std::string filter = std::string("--file-filter=") + kHexFilterLabel + " | " + kHexFilterPattern;
    if (RunDialog(zenity, {"--file-selection", filter}, &chosen) != 0) return false;
    if (!chosen.empty() && chosen.back() == '\n') chosen.pop_back();
    *path = chosen;
    return !path->empty();
}

void ShowMessageBox(const std::string& text) {
    const std::string zenity = DesktopDialogProgram();
    if (zenity.empty()) {
        PrintConsole(ConsoleMessage(text));
        return;
    }
    std::string ignored;
    int status = RunDialog(zenity, {"--error", std::string("--title=") + kErrorCaption, "--no-markup", "--text=" + text},
                           &ignored);
    // zenity answers 1 both for a box closed without OK and for one it could not show (no display after all): the
    // message then goes to standard error as well, so that it is never lost.
    if (status != 0) PrintConsoleError(ConsoleMessage(text));
}
