#include "support/ChildProcess.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>

extern char **environ;

namespace korvix::test {

ChildProcess::ChildProcess(const std::string &filter,
                           const std::vector<std::pair<std::string, std::string>> &environment) {
    std::map<std::string, std::string> variables;
    for (char **entry = environ; *entry; ++entry) {
        std::string text = *entry;
        size_t equals = text.find('=');
        if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
    }
    variables["KORVIX_TEST_CHILD"] = "1";
    for (const auto &[name, value] : environment) variables[name] = value;

    std::vector<std::string> envText;
    for (const auto &[name, value] : variables) envText.push_back(name + "=" + value);
    std::vector<char *> envp;
    for (auto &text : envText) envp.push_back(text.data());
    envp.push_back(nullptr);

    std::string self = "/proc/self/exe";
    std::string filterArgument = "--gtest_filter=" + filter;
    std::vector<char *> argv = {self.data(), filterArgument.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), envp.data()) == 0) process_ = pid;
}

ChildProcess::~ChildProcess() {
    if (Started()) Wait();
}

int ChildProcess::Wait() {
    if (!Started()) return -1;
    int status = 0;
    pid_t done;
    do {
        done = waitpid(static_cast<pid_t>(process_), &status, 0);
    } while (done < 0 && errno == EINTR);
    process_ = kNoProcess;
    if (done < 0 || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

}  // namespace korvix::test
