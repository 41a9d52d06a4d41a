// korvix get, set, settings and the register commands end to end against a simulated
// camera. Each run is a process of its own; settings live on in the test's settings store.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tools/KorvixRun.h"

namespace korvix::test {
namespace {

TEST(ToolsKorvixSettings, SetByNameIsKeptAndReadByNameOrId) {
    const KorvixResult set = Korvix({"set", "brightness", "-40"});
    ASSERT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out, "brightness = -40\n");
    EXPECT_EQ(Korvix({"get", "brightness"}).out, "-40\n");
    const KorvixResult byId = Korvix({"--json", "get", "1"});
    ASSERT_EQ(byId.exitCode, 0) << byId.err;
    const auto value = nlohmann::json::parse(byId.out);
    EXPECT_EQ(value["name"], "brightness");
    EXPECT_EQ(value["value"], -40);
}

TEST(ToolsKorvixSettings, SettingsListsEveryReadableSettingInJson) {
    ASSERT_EQ(Korvix({"set", "mirror-h", "1"}).exitCode, 0);
    const KorvixResult result = Korvix({"--json", "settings"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::map<std::string, nlohmann::json> byName;
    for (const auto &entry : nlohmann::json::parse(result.out)) byName[entry["name"]] = entry;
    EXPECT_EQ(byName.count("gray-one-shot"), 0u);  // settable only
    EXPECT_EQ(byName["mirror-h"]["value"], 1);
    EXPECT_EQ(byName["gamma"]["id"], 11);
    // This camera has no cooler: listed without a value, with the library's reason.
    EXPECT_TRUE(byName["cooler"]["value"].is_null());
    EXPECT_EQ(byName["cooler"]["error"], "CAMERR_NOT_SUPPORTED");
}

TEST(ToolsKorvixSettings, RegistersOfTheFpgaAndTheSensor) {
    const KorvixResult fpga = RunKorvix({"--simulate", "imx990:fpga=0x0135", "fpga", "read", "0x10", "2"});
    ASSERT_EQ(fpga.exitCode, 0) << fpga.err;
    EXPECT_EQ(fpga.out, "0x10 0x35\n0x11 0x01\n");
    // The IMX990's identification register.
    const KorvixResult sensor = Korvix({"--json", "sensor", "read", "0x0720"});
    ASSERT_EQ(sensor.exitCode, 0) << sensor.err;
    EXPECT_EQ(nlohmann::json::parse(sensor.out)[0]["value"], 0x5F);
    EXPECT_EQ(Korvix({"fpga", "write", "0x07", "0x3"}).exitCode, 0);
}

struct BadSetting {
    std::string name;
    std::vector<std::string> arguments;
    int exitCode;
    std::string message;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadSetting &c, std::ostream *out) { *out << c.name; }

class ToolsKorvixBadSetting : public testing::TestWithParam<BadSetting> {};

TEST_P(ToolsKorvixBadSetting, OneClearLineAndItsExitCode) {
    const KorvixResult result = Korvix(GetParam().arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_EQ(result.err, "error: " + GetParam().message + "\n");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToolsKorvixBadSetting,
    testing::Values(
        BadSetting{"UnknownName", {"get", "shininess"}, 2,
                   "unknown setting 'shininess' (korvix settings lists them)"},
        BadSetting{"UnknownId", {"get", "77"}, 1,
                   "CAMERR_PARAMETER (9): an argument is out of range or missing [reading setting id 77]"},
        BadSetting{"OutOfRange", {"set", "brightness", "256"}, 1,
                   "CAMERR_PARAMETER (9): an argument is out of range or missing [setting brightness to 256]"},
        BadSetting{"NotANumber", {"set", "gamma", "high"}, 2,
                   "the value must be an integer from -2147483648 to 2147483647, not 'high'"},
        BadSetting{"RegisterOutOfRange", {"fpga", "write", "0x100", "1"}, 2,
                   "the register address must be an integer from 0 to 255, not '0x100'"}),
    [](const testing::TestParamInfo<BadSetting> &info) { return info.param.name; });

}  // namespace
}  // namespace korvix::test
