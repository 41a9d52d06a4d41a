#pragma once

#include <CLI/CLI.hpp>

#include "Camera.h"

namespace korvix::tool {

// Makes `run` the action of the tool when `command` is the one chosen on the command line.
inline void RunsAs(CLI::App *command, GlobalOptions &options, std::function<void()> run) {
    command->callback([&options, run = std::move(run)] { options.action = run; });
}

// Each subcommand lives in a file of its own (Command<Name>.cpp) and adds itself to the
// application here. The options object outlives the parse.
void AddListCommand(CLI::App &app, GlobalOptions &options);
void AddInfoCommand(CLI::App &app, GlobalOptions &options);
void AddSromCommand(CLI::App &app, GlobalOptions &options);
void AddSettingCommands(CLI::App &app, GlobalOptions &options);   // get, set, settings
void AddRegisterCommands(CLI::App &app, GlobalOptions &options);  // fpga, sensor
void AddSnapCommand(CLI::App &app, GlobalOptions &options);
void AddStreamCommand(CLI::App &app, GlobalOptions &options);
void AddRecordCommand(CLI::App &app, GlobalOptions &options);
void AddPreviewCommand(CLI::App &app, GlobalOptions &options);
void AddMaskCommand(CLI::App &app, GlobalOptions &options);

}  // namespace korvix::tool
