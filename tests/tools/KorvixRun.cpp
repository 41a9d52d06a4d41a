#include "tools/KorvixRun.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace korvix::test {

namespace {

void Drain(int fd, std::string &into, bool &open) {
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) {
        into.append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
        open = false;
    }
}

std::vector<char *> Argv(std::string &program, std::vector<std::string> &arguments) {
    std::vector<char *> argv{program.data()};
    for (std::string &argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return argv;
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) return WEXITSTATUS(status);
    return -1;
}

}  // namespace

KorvixResult RunKorvixInTerminal(const std::vector<std::string> &arguments) {
    KorvixResult result;
    std::string program = KORVIX_TOOL;
    std::vector<std::string> copies = arguments;
    std::vector<char *> argv = Argv(program, copies);
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (pid < 0) return result;
    bool open = true;
    // Reading the terminal's far side ends with EIO once the tool has exited.
    while (open) Drain(terminal, result.out, open);
    close(terminal);
    result.exitCode = ExitCodeOf(pid);
    return result;
}

namespace {

// Runs the tool with its output on pipes; with a cue, interrupts it once stdout shows it.
KorvixResult RunPiped(const std::vector<std::string> &arguments, const std::string &interruptCue) {
    KorvixResult result;
    int outPipe[2];
    int errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) return result;
    std::string program = KORVIX_TOOL;
    std::vector<std::string> copies = arguments;
    std::vector<char *> argv = Argv(program, copies);

    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_RDONLY);
        dup2(null, STDIN_FILENO);
        dup2(outPipe[1], STDOUT_FILENO);
        dup2(errPipe[1], STDERR_FILENO);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    bool outOpen = true;
    bool errOpen = true;
    bool interrupted = false;
    while (outOpen || errOpen) {
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
        if (fds[0].revents != 0) Drain(outPipe[0], result.out, outOpen);
        if (fds[1].revents != 0) Drain(errPipe[0], result.err, errOpen);
        if (!interrupted && !interruptCue.empty() && result.out.find(interruptCue) != std::string::npos) {
            kill(pid, SIGINT);
            interrupted = true;
        }
    }
    close(outPipe[0]);
    close(errPipe[0]);
    result.exitCode = ExitCodeOf(pid);
    return result;
}

}  // namespace

KorvixResult RunKorvix(const std::vector<std::string> &arguments) { return RunPiped(arguments, ""); }

KorvixResult Korvix(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--simulate", "imx990"});
    return RunKorvix(arguments);
}

KorvixResult RunKorvixAndInterrupt(const std::vector<std::string> &arguments, const std::string &cue) {
    return RunPiped(arguments, cue);
}

}  // namespace korvix::test
