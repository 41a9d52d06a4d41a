// korvix list, info and srom end to end against simulated cameras, and the tool's answers
// to bad input.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>

#include "tools/KorvixRun.h"

namespace korvix::test {
namespace {

TEST(ToolsKorvixDevices, ListShowsEveryCameraWithNumberNameAndSerial) {
    const KorvixResult text = RunKorvix({"--simulate", "imx990,imx990:serial=LAB-7", "list"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("0       KorvixTesslin_01   IMX990-SIM0001"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("1       KorvixTesslin_02   LAB-7"), std::string::npos) << text.out;

    const KorvixResult json = RunKorvix({"--simulate", "imx990,imx990:serial=LAB-7", "--json", "list"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const auto cameras = nlohmann::json::parse(json.out);
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[1]["device"], 1);
    EXPECT_EQ(cameras[1]["name"], "KorvixTesslin_02");
    EXPECT_EQ(cameras[1]["serial"], "LAB-7");
}

TEST(ToolsKorvixDevices, InfoOfTheChosenDeviceInJson) {
    const KorvixResult result =
        RunKorvix({"--simulate", "imx990,imx990:serial=LAB-7", "--device", "1", "--json", "info"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto info = nlohmann::json::parse(result.out);
    EXPECT_EQ(info["device"], 1);
    EXPECT_EQ(info["serial"], "LAB-7");
    EXPECT_EQ(info["sensor"]["width"], 1280);
    EXPECT_EQ(info["sensor"]["height"], 1024);
    EXPECT_LT(info["exposure"]["min"], info["exposure"]["max"]);
    EXPECT_EQ(info["library"], "2.16.5.21");
}

TEST(ToolsKorvixDevices, SromReadsAndWritesBytes) {
    // The write reads its byte back before it reports success.
    const KorvixResult write = RunKorvix({"--simulate", "imx990", "--json", "srom", "write", "0x123", "0x5A"});
    ASSERT_EQ(write.exitCode, 0) << write.err;
    EXPECT_EQ(nlohmann::json::parse(write.out)["value"], 0x5A);
    // A fresh simulated camera's memory is erased (0xFF) outside its identity fields.
    const KorvixResult read = RunKorvix({"--simulate", "imx990", "srom", "read", "0xFFE", "2"});
    ASSERT_EQ(read.exitCode, 0) << read.err;
    EXPECT_EQ(read.out, "0x0FFE 0xFF\n0x0FFF 0xFF\n");
}

struct BadInput {
    std::string name;
    std::vector<std::string> arguments;
    int exitCode;
    std::string message;  // part of the one error line
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const BadInput &c, std::ostream *out) { *out << c.name; }

class ToolsKorvixBadInput : public testing::TestWithParam<BadInput> {};

TEST_P(ToolsKorvixBadInput, OneClearLineAndItsExitCode) {
    const KorvixResult result = RunKorvix(GetParam().arguments);
    EXPECT_EQ(result.exitCode, GetParam().exitCode) << result.err;
    EXPECT_EQ(result.err.rfind("error: ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find(GetParam().message), std::string::npos) << result.err;
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ToolsKorvixBadInput,
    testing::Values(
        BadInput{"NoCamera", {"info"}, 3, "CAMERR_OPEN (2): the camera could not be opened"},
        BadInput{"AbsentDevice", {"--simulate", "imx990", "--device", "3", "info"}, 3,
                 "CAMERR_OPEN (2): the camera could not be opened [selecting the camera at device number 3]"},
        BadInput{"UnknownCommand", {"--simulate", "imx990", "frobnicate"}, 2, "unknown command 'frobnicate'"},
        BadInput{"SromAddressOutOfRange", {"--simulate", "imx990", "srom", "read", "0x1000"}, 2,
                 "the SROM address must be an integer from 0 to 4095, not '0x1000'"},
        BadInput{"SromValueOutOfRange", {"--simulate", "imx990", "srom", "write", "1", "256"}, 2, "the SROM value"}),
    [](const testing::TestParamInfo<BadInput> &info) { return info.param.name; });

TEST(ToolsKorvixDevices, HelpListsTheExitCodes) {
    const KorvixResult result = RunKorvix({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Exit codes:"), std::string::npos);
    EXPECT_NE(result.out.find("3  no camera"), std::string::npos);
}

}  // namespace
}  // namespace korvix::test
