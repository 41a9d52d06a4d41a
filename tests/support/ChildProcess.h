#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

namespace korvix::test {

// Runs one test case of this same test binary in a child process, for tests that need a
// second process (shared memory, the settings store). The child inherits the parent's
// isolated environment, has KORVIX_TEST_CHILD=1 plus `environment` set, and runs only
// the cases matching `filter`. A child case checks KORVIX_TEST_CHILD and skips itself
// when run directly.
class ChildProcess {
public:
    ChildProcess(const std::string &filter,
                 const std::vector<std::pair<std::string, std::string>> &environment = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    bool Started() const { return process_ != kNoProcess; }
    // Waits for the child; its exit code, or -1 when it could not be run or crashed.
    int Wait();

private:
    static constexpr intptr_t kNoProcess = -1;
    // The running child: its pid on Linux, its process handle on Windows.
    intptr_t process_ = kNoProcess;
};

// True inside a child started by ChildProcess.
inline bool IsChildProcess() { return std::getenv("KORVIX_TEST_CHILD") != nullptr; }

}  // namespace korvix::test
