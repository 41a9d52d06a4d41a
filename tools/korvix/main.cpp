// korvix: the command-line tool of the Korvix Tesslin SDK, built on the public C API only.

#include <KorvixSdk_Tesslin.h>

#include <iostream>

#include "Commands.h"
#include "Output.h"
#include "ToolErrors.h"

namespace {

using namespace korvix::tool;

void PrintError(const GlobalOptions &options, const ToolError &error) {
    std::cerr << "error: " << error.what() << '\n';
    if (options.json) {
        nlohmann::json data = {{"error", {{"message", error.what()}, {"exit", error.Exit()}}}};
        if (error.CameraCode() >= 0) {
            data["error"]["code"] = error.CameraCode();
            data["error"]["name"] = ErrorCodeName(error.CameraCode());
        }
        std::cout << data.dump(2) << '\n';
    }
}

// The first word that is not a global option names the command; CLI11 would only say
// that a command is required when the word is misspelt.
void CheckCommandName(CLI::App &app, int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--simulate" || word == "--device") {
            ++i;
        } else if (word.rfind("-", 0) != 0) {
            const auto commands = app.get_subcommands([&word](const CLI::App *command) {
                return command->get_name() == word;
            });
            if (commands.empty()) {
                throw UsageError("unknown command '" + word + "' (korvix --help lists the commands)");
            }
            return;
        }
    }
}

}  // namespace

int main(int argc, char **argv) {
    GlobalOptions options;
    CLI::App app{"korvix: list, inspect, set up and take frames from Korvix Tesslin cameras"};
    app.footer(std::string("\nExamples:\n"
                           "  korvix --simulate imx990 list\n"
                           "  korvix --simulate imx990 snap -o frame.png --bits 16\n"
                           "  korvix --simulate imx990 set brightness 40\n"
                           "  korvix record -o run.avi --seconds 10\n\n") +
               ExitCodeHelp());
    app.require_subcommand(1);
    app.add_option("--simulate", options.simulate,
                   "Use simulated cameras, e.g. imx990 or imx990,imx992:serial=LAB-7 "
                   "(the grammar of KORVIX_SIMULATE)");
    app.add_option("--device", options.device, "Device number of the camera (default: the first)")
        ->check(CLI::Range(0, 31));
    app.add_flag("--json", options.json, "Print results as JSON");
    app.set_version_flag("--version", [] { return "korvix, library " + LibraryVersion(); });

    AddListCommand(app, options);
    AddInfoCommand(app, options);
    AddSnapCommand(app, options);
    AddStreamCommand(app, options);
    AddRecordCommand(app, options);
    AddPreviewCommand(app, options);
    AddSettingCommands(app, options);
    AddRegisterCommands(app, options);
    AddSromCommand(app, options);
    AddMaskCommand(app, options);

    try {
        CheckCommandName(app, argc, argv);
        app.parse(argc, argv);
        ApplySimulation(options);
        options.action();
    } catch (const CLI::CallForHelp &help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp &help) {
        return app.exit(help);
    } catch (const CLI::CallForVersion &version) {
        return app.exit(version);
    } catch (const CLI::ParseError &error) {
        std::cerr << "error: " << error.what() << " (korvix --help lists the commands)\n";
        return kExitUsage;
    } catch (const ToolError &error) {
        PrintError(options, error);
        return error.Exit();
    }
    return kExitOk;
}
