#include "imaging/files/ExternalTool.h"

namespace korvix::test {

// The independent readers are Linux programs, which a Windows test process cannot start:
// tests that need them skip here, and scripts/test-windows has the Linux readers read the
// files the DLL writes under Wine instead.
bool ToolAvailable(const std::string &) { return false; }

std::optional<std::string> RunTool(const std::string &) { return std::nullopt; }

}  // namespace korvix::test
