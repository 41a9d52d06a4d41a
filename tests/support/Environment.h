#pragma once

#include <string>

namespace korvix::test {

// Sets an environment variable of the test process (for the library's getenv and for child
// processes alike); a null `value` removes it.
void SetEnvironment(const char *name, const char *value);

// A settings store of its own for the running test, named `name`, to put in
// KORVIX_REGISTRY: a database file in the test's directory on Linux, a key below the test's
// registry root on Windows (removed with that root).
std::string FreshRegistryStore(const std::string &name);

}  // namespace korvix::test
