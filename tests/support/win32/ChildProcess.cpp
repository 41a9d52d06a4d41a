#include "support/ChildProcess.h"

#include <windows.h>

#include <cstring>
#include <map>

namespace korvix::test {
namespace {

// Environment names are compared without regard to case on Windows.
struct NameLess {
    bool operator()(const std::string &a, const std::string &b) const {
        return _stricmp(a.c_str(), b.c_str()) < 0;
    }
};

// This process's environment with `additions` set, as the block CreateProcessA takes:
// "name=value" strings one after another, each ending in a zero, the block in one more.
std::string EnvironmentBlock(const std::vector<std::pair<std::string, std::string>> &additions) {
    std::map<std::string, std::string, NameLess> variables;
    std::string hidden;  // the "=C:=C:\dir" entries of drive directories keep their place
    if (char *strings = GetEnvironmentStringsA()) {
        for (const char *entry = strings; *entry; entry += std::strlen(entry) + 1) {
            std::string text = entry;
            size_t equals = text.find('=', 1);
            if (text[0] == '=' || equals == std::string::npos) {
                hidden += text;
                hidden.push_back('\0');
            } else {
                variables[text.substr(0, equals)] = text.substr(equals + 1);
            }
        }
        FreeEnvironmentStringsA(strings);
    }
    variables["KORVIX_TEST_CHILD"] = "1";
    for (const auto &[name, value] : additions) variables[name] = value;

    std::string block = hidden;
    for (const auto &[name, value] : variables) {
        block += name + "=" + value;
        block.push_back('\0');
    }
    block.push_back('\0');
    return block;
}

}  // namespace

ChildProcess::ChildProcess(const std::string &filter,
                           const std::vector<std::pair<std::string, std::string>> &environment) {
    char self[MAX_PATH * 4];
    DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
    if (length == 0 || length == sizeof self) return;
    std::string commandLine = "\"" + std::string(self) + "\" \"--gtest_filter=" + filter + "\"";
    std::string block = EnvironmentBlock(environment);

    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(self, commandLine.data(), nullptr, nullptr, FALSE, 0, block.data(), nullptr,
                        &startup, &process)) {
        return;
    }
    CloseHandle(process.hThread);
    process_ = reinterpret_cast<intptr_t>(process.hProcess);
}

ChildProcess::~ChildProcess() {
    if (Started()) Wait();
}

int ChildProcess::Wait() {
    if (!Started()) return -1;
    HANDLE process = reinterpret_cast<HANDLE>(process_);
    process_ = kNoProcess;
    DWORD code = 0;
    const bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process, &code);
    CloseHandle(process);
    // A crash ends the process with its exception code (0xC0000005 and the like).
    if (!ended || (code & 0xC0000000u) == 0xC0000000u) return -1;
    return static_cast<int>(code);
}

}  // namespace korvix::test
