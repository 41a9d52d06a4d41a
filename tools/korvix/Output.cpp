#include "Output.h"

#include <unistd.h>

#include <KorvixSdk_Tesslin.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "ToolErrors.h"

namespace korvix::tool {

void Emit(const GlobalOptions &options, const nlohmann::json &data,
          const std::function<void(std::ostream &)> &text) {
    if (options.json) {
        std::cout << data.dump(2) << '\n';
    } else {
        text(std::cout);
    }
    std::cout.flush();
}

std::string Hex(unsigned value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*X", digits, value);
    return text;
}

long ParseInteger(const std::string &text, long min, long max, const std::string &what) {
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || errno == ERANGE || value < min || value > max) {
        throw UsageError(what + " must be an integer from " + std::to_string(min) + " to " +
                         std::to_string(max) + ", not '" + text + "'");
    }
    return value;
}

std::string LibraryVersion() {
    // Each byte of the version word is written as its hexadecimal digits.
    const unsigned v = static_cast<unsigned>(Korvix_GetDllVersion());
    char text[32];
    std::snprintf(text, sizeof text, "%x.%x.%x.%x", v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF,
                  v & 0xFF);
    return text;
}

bool StdoutIsTerminal() { return isatty(STDOUT_FILENO) == 1; }

}  // namespace korvix::tool
