#include "support/Environment.h"

#include <stdlib.h>

#include "support/TestEnvironment.h"

namespace korvix::test {

void SetEnvironment(const char *name, const char *value) {
    if (value == nullptr) {
        unsetenv(name);
    } else {
        setenv(name, value, 1);
    }
}

std::string FreshRegistryStore(const std::string &name) {
    return (TestDirectory() / (name + ".sqlite")).string();
}

}  // namespace korvix::test
