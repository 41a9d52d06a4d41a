#include <gtest/gtest.h>

#include <cstdlib>

#include "support/TestEnvironment.h"

// The one main of every test executable: isolate the process, run the cases, clean up.
// A test that needs child processes re-executes its own binary, which arrives here again
// and inherits the parent's environment (so both see the same registry and namespace).
int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    if (getenv("KORVIX_TEST_CHILD") == nullptr) korvix::test::SetUpIsolatedEnvironment(argv[0]);
    int result = RUN_ALL_TESTS();
    if (getenv("KORVIX_TEST_CHILD") == nullptr) korvix::test::TearDownIsolatedEnvironment();
    return result;
}
