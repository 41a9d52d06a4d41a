// korvix get NAME|ID, korvix set NAME|ID VALUE, korvix settings: the camera and image
// settings by name or setting id. The library keeps each camera's settings between runs.

#include <climits>
#include <iomanip>
#include <iostream>

#include "Commands.h"
#include "Output.h"
#include "SettingTable.h"
#include "ToolErrors.h"

namespace korvix::tool {

namespace {

struct SettingArguments {
    std::string setting;
    std::string value;
};

std::string NameOf(const Setting &setting) {
    return *setting.name ? setting.name : std::to_string(setting.id);
}

void RunGet(const GlobalOptions &options, const SettingArguments &arguments) {
    const Setting setting = FindSetting(arguments.setting);
    CameraSession session(options);
    const int value = ReadSetting(session, setting);
    Emit(options, {{"name", NameOf(setting)}, {"id", setting.id}, {"value", value}},
         [&](std::ostream &out) { out << value << '\n'; });
}

void RunSet(const GlobalOptions &options, const SettingArguments &arguments) {
    const Setting setting = FindSetting(arguments.setting);
    const int value = static_cast<int>(ParseInteger(arguments.value, INT_MIN, INT_MAX, "the value"));
    CameraSession session(options);
    WriteSetting(session, setting, value);
    // What the camera keeps may differ from what was asked (device rounding).
    const int now = setting.readable ? ReadSetting(session, setting) : value;
    Emit(options, {{"name", NameOf(setting)}, {"id", setting.id}, {"value", now}},
         [&](std::ostream &out) { out << NameOf(setting) << " = " << now << '\n'; });
}

void RunSettings(const GlobalOptions &options) {
    CameraSession session(options);
    nlohmann::json data = nlohmann::json::array();
    for (const Setting &setting : Settings()) {
        if (!setting.readable) continue;
        nlohmann::json entry = {{"name", setting.name}, {"id", setting.id},
                                {"description", setting.description}};
        try {
            entry["value"] = ReadSetting(session, setting);
        } catch (const CameraError &error) {
            // A setting the camera does not have (a cooler, say) is listed without a value.
            entry["value"] = nullptr;
            entry["error"] = ErrorCodeName(error.CameraCode());
        }
        data.push_back(entry);
    }
    Emit(options, data, [&](std::ostream &out) {
        for (const nlohmann::json &entry : data) {
            out << std::left << std::setw(20) << entry["name"].get<std::string>() << std::setw(14)
                << (entry["value"].is_null() ? "-" : entry["value"].dump())
                << (entry["value"].is_null() ? entry["error"].get<std::string>()
                                             : entry["description"].get<std::string>())
                << '\n';
        }
    });
}

}  // namespace

void AddSettingCommands(CLI::App &app, GlobalOptions &options) {
    auto arguments = std::make_shared<SettingArguments>();
    CLI::App *get = app.add_subcommand("get", "Print a setting, by name or setting id");
    get->add_option("setting", arguments->setting, "name (korvix settings) or id")->required();
    RunsAs(get, options, [&options, arguments] { RunGet(options, *arguments); });

    CLI::App *set = app.add_subcommand("set", "Change a setting, by name or setting id");
    set->add_option("setting", arguments->setting, "name (korvix settings) or id")->required();
    set->add_option("value", arguments->value, "the new value")->required();
    RunsAs(set, options, [&options, arguments] { RunSet(options, *arguments); });

    RunsAs(app.add_subcommand("settings", "Print every setting (text, or JSON with --json)"),
           options, [&options] { RunSettings(options); });
}

}  // namespace korvix::tool
