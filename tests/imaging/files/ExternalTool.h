#pragma once

#include <map>
#include <optional>
#include <string>

namespace korvix::test {

// Runs independent programs (ImageMagick, FFmpeg) on the files the library writes, so
// that tests see the files as other software reads them.

// True when `program` is found on the PATH.
bool ToolAvailable(const std::string &program);

// Runs `command` through the shell and returns its standard output, or nothing when it
// could not be started or exited with a non-zero status. Standard error is discarded.
std::optional<std::string> RunTool(const std::string &command);

// The `key=value` lines of a tool's output (ffprobe's default format), by key.
std::map<std::string, std::string> ParseKeyValues(const std::string &text);

// Quotes a path for the shell.
std::string ShellQuote(const std::string &text);

}  // namespace korvix::test
