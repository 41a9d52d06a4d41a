#include "support/Environment.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdlib>

namespace korvix::test {

// Both the C runtime's copy (getenv) and the process environment (children, Win32 calls).
void SetEnvironment(const char *name, const char *value) {
    _putenv_s(name, value != nullptr ? value : "");  // an empty value removes it
    SetEnvironmentVariableA(name, value);
}

std::string FreshRegistryStore(const std::string &name) {
    const char *root = std::getenv("KORVIX_REGISTRY");
    return std::string(root != nullptr ? root : "Software\\KorvixTest") + "\\" + name;
}

}  // namespace korvix::test
