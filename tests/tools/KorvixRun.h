#pragma once

#include <string>
#include <vector>

namespace korvix::test {

// What one run of the korvix tool gave.
struct KorvixResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs the korvix tool built with the tests with `arguments`, in the test's isolated
// environment, with the standard input closed; waits for it to end.
KorvixResult RunKorvix(const std::vector<std::string> &arguments);

// As RunKorvix, against one simulated IMX990.
KorvixResult Korvix(std::vector<std::string> arguments);

// As RunKorvix, and sends it SIGINT (Ctrl-C) once its standard output contains `cue`.
KorvixResult RunKorvixAndInterrupt(const std::vector<std::string> &arguments, const std::string &cue);

// Runs it with its standard output and error on a pseudo-terminal, as in an interactive
// shell; `out` holds what the terminal received (both streams).
KorvixResult RunKorvixInTerminal(const std::vector<std::string> &arguments);

}  // namespace korvix::test
