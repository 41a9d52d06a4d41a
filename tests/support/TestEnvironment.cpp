#include "support/TestEnvironment.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <system_error>
#include <vector>

namespace korvix::test {
namespace {
std::filesystem::path g_directory;
std::string g_ipcNamespace;

// Shared memory and semaphores live as files under /dev/shm on Linux; those of this
// process's namespace that a session left behind go with the process, so they do not pile
// up over thousands of test runs.
void RemoveSharedMemoryOfNamespace() {
    const std::filesystem::path shm = "/dev/shm";
    std::error_code error;
    std::vector<std::filesystem::path> leftovers;
    for (const auto &entry : std::filesystem::directory_iterator(shm, error)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with(g_ipcNamespace) || name.starts_with("sem." + g_ipcNamespace)) {
            leftovers.push_back(entry.path());
        }
    }
    for (const auto &path : leftovers) std::filesystem::remove(path, error);
}

}  // namespace

const std::filesystem::path &TestDirectory() { return g_directory; }

void SetEnvironmentValue(const char *name, const char *value) {
    if (value) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

std::string FreshRegistryStore(const std::string &name) {
    return (g_directory / (name + ".sqlite")).string();
}

const std::string &TestIpcNamespace() { return g_ipcNamespace; }

void SetUpIsolatedEnvironment(const char *) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "korvix-test-XXXXXX").string();
    char *made = mkdtemp(pattern.data());
    g_directory = made ? std::filesystem::path(made) : std::filesystem::temp_directory_path();

    // The pid alone does not make the namespace unique: pids are reused, and a shared
    // section of an earlier process that ended without releasing it outlives that process
    // (POSIX shared memory stays until unlinked). Inheriting its device table shifts the
    // instance numbers of the cameras a test plugs. The scratch directory's random suffix
    // makes the name unique.
    const std::string scratch = g_directory.filename().string();
    const std::string unique = made ? scratch.substr(scratch.rfind('-') + 1) : "shared";
    g_ipcNamespace = "korvix-test-" + std::to_string(getpid()) + "-" + unique + "-";
    setenv("KORVIX_IPC_NAMESPACE", g_ipcNamespace.c_str(), 1);
    setenv("KORVIX_REGISTRY", (g_directory / "registry.sqlite").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (g_directory / "config").c_str(), 1);
}

void TearDownIsolatedEnvironment() {
    if (g_directory.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(g_directory, ignored);
    RemoveSharedMemoryOfNamespace();
}

}  // namespace korvix::test
