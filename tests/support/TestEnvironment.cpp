#include "support/TestEnvironment.h"

#include <stdlib.h>
#include <unistd.h>

#include <string>
#include <system_error>

namespace korvix::test {
namespace {
std::filesystem::path g_directory;
std::string g_ipcNamespace;
}  // namespace

const std::filesystem::path &TestDirectory() { return g_directory; }

const std::string &TestIpcNamespace() { return g_ipcNamespace; }

void SetUpIsolatedEnvironment(const char *) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "korvix-test-XXXXXX").string();
    char *made = mkdtemp(pattern.data());
    g_directory = made ? std::filesystem::path(made) : std::filesystem::temp_directory_path();

    g_ipcNamespace = "korvix-test-" + std::to_string(getpid()) + "-";
    setenv("KORVIX_IPC_NAMESPACE", g_ipcNamespace.c_str(), 1);
    setenv("KORVIX_REGISTRY", (g_directory / "registry.sqlite").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (g_directory / "config").c_str(), 1);
}

void TearDownIsolatedEnvironment() {
    if (g_directory.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(g_directory, ignored);
}

}  // namespace korvix::test
