#include "imaging/files/ExternalTool.h"

#include <sys/wait.h>

#include <cstdio>

namespace korvix::test {

bool ToolAvailable(const std::string &program) {
    return RunTool("command -v " + ShellQuote(program)).has_value();
}

std::optional<std::string> RunTool(const std::string &command) {
    std::FILE *pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string output;
    char buffer[4096];
    size_t read;
    while ((read = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, read);
    const int status = pclose(pipe);
    if (status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return output;
}

}  // namespace korvix::test
