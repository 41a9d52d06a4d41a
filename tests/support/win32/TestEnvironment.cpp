#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <random>
#include <string>
#include <system_error>

// Windows runs every case of a test executable in one process (one Wine start per
// executable), so the isolation the Linux build gets from a process per case is made here
// per case: a listener gives each case its own IPC namespace, registry root and scratch
// directory before it starts.

namespace korvix::test {
namespace {

constexpr const char *kRegistryParent = "Software\\KorvixTest";

std::filesystem::path g_processDirectory;
std::string g_processTag;  // "<pid>-<random>", unique among the processes of the machine
std::string g_registryRoot;
std::filesystem::path g_caseDirectory;
std::string g_ipcNamespace;
int g_caseNumber = 0;

void BeginCase() {
    const std::string number = std::to_string(++g_caseNumber);
    g_ipcNamespace = "korvix-test-" + g_processTag + "-" + number + "-";
    g_caseDirectory = g_processDirectory / ("case-" + number);
    std::error_code ignored;
    std::filesystem::create_directories(g_caseDirectory, ignored);
    SetEnvironmentValue("KORVIX_IPC_NAMESPACE", g_ipcNamespace.c_str());
    SetEnvironmentValue("KORVIX_REGISTRY", (g_registryRoot + "\\" + number).c_str());
}

class PerCaseIsolation : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo &) override { BeginCase(); }
};

}  // namespace

const std::filesystem::path &TestDirectory() { return g_caseDirectory; }

const std::string &TestIpcNamespace() { return g_ipcNamespace; }

// Both the C runtime's copy (getenv) and the process environment (children, Win32 calls);
// an empty value removes a variable from the runtime's copy.
void SetEnvironmentValue(const char *name, const char *value) {
    _putenv_s(name, value ? value : "");
    SetEnvironmentVariableA(name, value);
}

std::string FreshRegistryStore(const std::string &name) {
    return g_registryRoot + "\\" + std::to_string(g_caseNumber) + "\\" + name;
}

void SetUpIsolatedEnvironment(const char *) {
    std::random_device entropy;
    char temp[MAX_PATH + 1];
    DWORD length = GetTempPathA(sizeof temp, temp);
    const std::filesystem::path base =
        length > 0 && length < sizeof temp ? std::filesystem::path(temp) : std::filesystem::path(".");
    const std::string pid = std::to_string(GetCurrentProcessId());
    for (int attempt = 0; attempt < 100; ++attempt) {
        g_processTag = pid + "-" + std::to_string(entropy() % 1000000u);
        g_processDirectory = base / ("korvix-test-" + g_processTag);
        if (CreateDirectoryA(g_processDirectory.string().c_str(), nullptr)) break;
    }
    g_registryRoot = std::string(kRegistryParent) + "\\" + g_processTag;
    BeginCase();
    testing::UnitTest::GetInstance()->listeners().Append(new PerCaseIsolation);
}

void TearDownIsolatedEnvironment() {
    if (g_processDirectory.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(g_processDirectory, ignored);
    RegDeleteTreeA(HKEY_CURRENT_USER, g_registryRoot.c_str());
    // Removes the parent only once no other test process has a root under it.
    RegDeleteKeyA(HKEY_CURRENT_USER, kRegistryParent);
}

}  // namespace korvix::test
