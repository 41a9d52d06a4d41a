#pragma once

#include <functional>
#include <iosfwd>
#include <string>

#include <nlohmann/json.hpp>

#include "Camera.h"

namespace korvix::tool {

// Prints a subcommand's result: `data` as indented JSON with --json, else `text`.
void Emit(const GlobalOptions &options, const nlohmann::json &data,
          const std::function<void(std::ostream &)> &text);

// "0x1A" for 26 (at least `digits` hex digits).
std::string Hex(unsigned value, int digits = 2);

// Parses a decimal or 0x-prefixed hexadecimal integer within [min, max]; throws a usage
// error naming `what` otherwise.
long ParseInteger(const std::string &text, long min, long max, const std::string &what);

// The library's version as written in its name, e.g. "2.16.5.21" for 0x02160521.
std::string LibraryVersion();

// True when the standard output is a terminal.
bool StdoutIsTerminal();

}  // namespace korvix::tool
