#pragma once

#include <filesystem>
#include <string>

namespace korvix::test {

// The scratch directory made by the test main before any test runs. On Linux every test
// process gets its own (ctest runs each case in a process of its own), and the registry
// file, the IPC namespace and XDG_CONFIG_HOME all point inside or at it, so tests never
// see each other's settings, shared memory or files. On Windows all cases of an executable
// share one process, so each case gets its own directory, IPC namespace and registry root
// (a key under HKEY_CURRENT_USER, removed at the end) when it starts.
const std::filesystem::path &TestDirectory();

// The IPC namespace (KORVIX_IPC_NAMESPACE) chosen for this test process (Windows: case).
const std::string &TestIpcNamespace();

// Sets an environment variable of this process, seen by getenv, by the library and by child
// processes alike; a null value removes it. Portable stand-in for setenv / unsetenv.
void SetEnvironmentValue(const char *name, const char *value);

// A settings store of its own for the running test, named `name`, to put in
// KORVIX_REGISTRY: a database file in the test's directory on Linux, a key below the case's
// registry root on Windows (removed with that root).
std::string FreshRegistryStore(const std::string &name);

// Prepares the isolated environment; called once by the test main.
void SetUpIsolatedEnvironment(const char *argv0);

// Removes the scratch directory; called once by the test main after the tests.
void TearDownIsolatedEnvironment();

}  // namespace korvix::test
