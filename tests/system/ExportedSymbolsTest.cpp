#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace {

// The exported catalogue: every function the library offers on every platform, with its
// number of arguments.
const std::map<std::string, int> kCatalogue = {
    {"Korvix_CallBackPreview", 5},
    {"Korvix_Capture", 1},
    {"Korvix_Close", 1},
    {"Korvix_EnumDevice", 2},
    {"Korvix_EnumDeviceW", 2},
    {"Korvix_Fpga_ReadRegister", 3},
    {"Korvix_Fpga_WriteRegister", 3},
    {"Korvix_Fps", 1},
    {"Korvix_GetAutoIris", 2},
    {"Korvix_GetBayerGainAuto", 2},
    {"Korvix_GetBayerGainBlue", 2},
    {"Korvix_GetBayerGainGreen", 2},
    {"Korvix_GetBayerGainRGB", 2},
    {"Korvix_GetBayerGainRed", 2},
    {"Korvix_GetBayerMode", 2},
    {"Korvix_GetBrightness", 2},
    {"Korvix_GetCameraInfo", 2},
    {"Korvix_GetCaptureWindowEx", 7},
    {"Korvix_GetChannelGain", 3},
    {"Korvix_GetChannelOffset", 3},
    {"Korvix_GetColorGainBlue", 2},
    {"Korvix_GetColorGainGreen1", 2},
    {"Korvix_GetColorGainGreen2", 2},
    {"Korvix_GetColorGainRed", 2},
    {"Korvix_GetColorMode", 1},
    {"Korvix_GetConfigFilter", 1},
    {"Korvix_GetContrast", 2},
    {"Korvix_GetDeviceName", 4},
    {"Korvix_GetDeviceNameW", 4},
    {"Korvix_GetDllVersion", 0},
    {"Korvix_GetDotFilter", 2},
    {"Korvix_GetExposureTime", 2},
    {"Korvix_GetExposureTimeEx", 2},
    {"Korvix_GetFilterValue", 3},
    {"Korvix_GetGamma", 2},
    {"Korvix_GetGlobalGain", 2},
    {"Korvix_GetGrayGainB", 2},
    {"Korvix_GetGrayGainG1", 2},
    {"Korvix_GetGrayGainG2", 2},
    {"Korvix_GetGrayGainR", 2},
    {"Korvix_GetGrayMode", 2},
    {"Korvix_GetGrayOffsetB", 2},
    {"Korvix_GetGrayOffsetG1", 2},
    {"Korvix_GetGrayOffsetG2", 2},
    {"Korvix_GetGrayOffsetR", 2},
    {"Korvix_GetHalfClock", 1},
    {"Korvix_GetHue", 2},
    {"Korvix_GetIOPort", 2},
    {"Korvix_GetImage", 4},
    {"Korvix_GetInternalCorrection", 2},
    {"Korvix_GetLastError", 1},
    {"Korvix_GetMaskFilter", 2},
    {"Korvix_GetMirrorH", 1},
    {"Korvix_GetMirrorV", 1},
    {"Korvix_GetPeltier", 2},
    {"Korvix_GetRealExposureTime", 2},
    {"Korvix_GetSamplingRate", 2},
    {"Korvix_GetSaturation", 2},
    {"Korvix_GetSharpness", 2},
    {"Korvix_GetStatus", 1},
    {"Korvix_GetSubSample", 1},
    {"Korvix_GetTemperature", 2},
    {"Korvix_GetTemperatureEx", 2},
    {"Korvix_GetVideoFormat", 2},
    {"Korvix_GetWaitTime", 1},
    {"Korvix_Height", 1},
    {"Korvix_Initialize", 1},
    {"Korvix_LoadConfigFileA", 2},
    {"Korvix_LoadConfigFileW", 2},
    {"Korvix_LoadMaskFile", 2},
    {"Korvix_LoadMaskFileW", 2},
    {"Korvix_Preview", 1},
    {"Korvix_ReadRegister", 3},
    {"Korvix_ReadRegisterEx", 3},
    {"Korvix_ReadSerialNumberA", 3},
    {"Korvix_ReadSerialNumberW", 3},
    {"Korvix_ReadSromID", 3},
    {"Korvix_ReceiveText", 1},
    {"Korvix_Record", 4},
    {"Korvix_RecordW", 4},
    {"Korvix_Release", 1},
    {"Korvix_SaveImage", 3},
    {"Korvix_SaveImageW", 3},
    {"Korvix_SaveMaskFile", 2},
    {"Korvix_SaveMaskFileW", 2},
    {"Korvix_SendText", 1},
    {"Korvix_SetAnalogDlg", 2},
    {"Korvix_SetAutoIris", 2},
    {"Korvix_SetBayerGainAuto", 2},
    {"Korvix_SetBayerGainBlue", 2},
    {"Korvix_SetBayerGainGreen", 2},
    {"Korvix_SetBayerGainRGB", 2},
    {"Korvix_SetBayerGainRed", 2},
    {"Korvix_SetBayerMode", 2},
    {"Korvix_SetBrightness", 2},
    {"Korvix_SetCameraDlg", 2},
    {"Korvix_SetCaptureWindow", 3},
    {"Korvix_SetCaptureWindowEx", 7},
    {"Korvix_SetChannelGain", 3},
    {"Korvix_SetChannelOffset", 3},
    {"Korvix_SetColorGainBlue", 2},
    {"Korvix_SetColorGainGreen1", 2},
    {"Korvix_SetColorGainGreen2", 2},
    {"Korvix_SetColorGainRed", 2},
    {"Korvix_SetColorMode", 2},
    {"Korvix_SetConfigFilter", 1},
    {"Korvix_SetContrast", 2},
    {"Korvix_SetCrossbar", 1},
    {"Korvix_SetDeviceNumber", 2},
    {"Korvix_SetDotFilter", 2},
    {"Korvix_SetExposureTime", 2},
    {"Korvix_SetExposureTimeEx", 2},
    {"Korvix_SetFilterValue", 3},
    {"Korvix_SetGamma", 2},
    {"Korvix_SetGlobalGain", 2},
    {"Korvix_SetGrayGainB", 2},
    {"Korvix_SetGrayGainG1", 2},
    {"Korvix_SetGrayGainG2", 2},
    {"Korvix_SetGrayGainR", 2},
    {"Korvix_SetGrayMode", 2},
    {"Korvix_SetGrayOffsetB", 2},
    {"Korvix_SetGrayOffsetG1", 2},
    {"Korvix_SetGrayOffsetG2", 2},
    {"Korvix_SetGrayOffsetR", 2},
    {"Korvix_SetHalfClock", 1},
    {"Korvix_SetHue", 2},
    {"Korvix_SetIOPort", 2},
    {"Korvix_SetImageDlg", 2},
    {"Korvix_SetInternalCorrection", 2},
    {"Korvix_SetMaskFilter", 2},
    {"Korvix_SetMirrorH", 2},
    {"Korvix_SetMirrorV", 2},
    {"Korvix_SetPeltier", 2},
    {"Korvix_SetPreviewWindow", 6},
    {"Korvix_SetRealExposureTime", 2},
    {"Korvix_SetSamplingRate", 2},
    {"Korvix_SetSaturation", 2},
    {"Korvix_SetSharpness", 2},
    {"Korvix_SetSubSample", 2},
    {"Korvix_SetWaitTime", 2},
    {"Korvix_SnapShot", 4},
    {"Korvix_StartPreview", 1},
    {"Korvix_StopPreview", 1},
    {"Korvix_Trigger", 5},
    {"Korvix_UpdateMaskData", 2},
    {"Korvix_Width", 1},
    {"Korvix_WriteRegister", 3},
    {"Korvix_WriteRegisterEx", 3},
    {"Korvix_WriteSromID", 3},
};

// Linux delivers window messages through a handler the application registers.
const std::map<std::string, int> kLinuxOnly = {{"Korvix_SetMessageHandler", 2}};

// Linux extensions beyond the catalogue, in the header's section of their own.
const std::map<std::string, int> kLinuxExtensions = {
    {"Korvix_GetStreamStatistics", 2},
    {"Korvix_ResetStreamStatistics", 1},
    {"Korvix_GetDataTimeout", 1},
    {"Korvix_SetDataTimeout", 2},
};

// What the library exports: the whole catalogue, the Linux-only handler and the Linux
// extensions, 149 + 1 + 4.
std::map<std::string, int> ExpectedExports() {
    std::map<std::string, int> expected = kCatalogue;
    expected.insert(kLinuxOnly.begin(), kLinuxOnly.end());
    expected.insert(kLinuxExtensions.begin(), kLinuxExtensions.end());
    return expected;
}

// The functions the public header declares, each with its number of parameters. Every
// declaration reads "KORVIX_API <type> KORVIX_CALL Korvix_Name(<parameters>);".
std::map<std::string, int> DeclaredExports() {
    std::ifstream header(KORVIX_PUBLIC_HEADER);
    std::stringstream text;
    text << header.rdbuf();
    const std::string source = text.str();
    std::map<std::string, int> declared;
    const std::string marker = "KORVIX_CALL ";
    for (size_t at = source.find(marker); at != std::string::npos;
         at = source.find(marker, at + 1)) {
        const size_t begin = at + marker.size();
        const size_t open = source.find('(', begin);
        const size_t close = source.find(')', open);
        if (open == std::string::npos || close == std::string::npos) break;
        const std::string name = source.substr(begin, open - begin);
        if (name.rfind("Korvix_", 0) != 0) continue;
        const std::string parameters = source.substr(open + 1, close - open - 1);
        int count = 0;
        if (parameters.find_first_not_of(" \n") != std::string::npos && parameters != "void") {
            count = 1;
            for (char c : parameters) count += c == ',' ? 1 : 0;
        }
        declared[name] = count;
    }
    return declared;
}

// Names of the functions the shared library defines and exports.
std::set<std::string> DefinedExports(bool &ran) {
    std::set<std::string> names;
    std::string command = std::string("nm -D --defined-only '") + KORVIX_LIBRARY_FILE + "'";
    FILE *pipe = popen(command.c_str(), "r");
    ran = pipe != nullptr;
    if (!pipe) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    ran = pclose(pipe) == 0;
    return names;
}

}  // namespace

TEST(SystemExports, CatalogueHasTheDocumentedSize) {
    EXPECT_EQ(kCatalogue.size(), 149u);
    for (const auto &[name, arguments] : kLinuxExtensions) {
        EXPECT_EQ(kCatalogue.count(name), 0u) << name << " is an extension, not in the catalogue";
    }
}

// Nothing internal leaks out and nothing of the catalogue is missing.
TEST(SystemExports, LibraryExportsExactlyTheCatalogue) {
    bool ran = false;
    const std::set<std::string> defined = DefinedExports(ran);
    ASSERT_TRUE(ran) << "nm could not read " << KORVIX_LIBRARY_FILE;
    const std::map<std::string, int> expected = ExpectedExports();
    std::string missing, extra;
    for (const auto &[name, arguments] : expected) {
        if (!defined.count(name)) missing += " " + name;
    }
    for (const auto &name : defined) {
        if (!expected.count(name)) extra += " " + name;
    }
    EXPECT_EQ(missing, "") << "catalogue functions the library does not export";
    EXPECT_EQ(extra, "") << "exported functions outside the catalogue";
}

// The header declares what the library exports, each function with the catalogue's
// number of arguments.
TEST(SystemExports, HeaderDeclaresTheCatalogueWithItsArguments) {
    const std::map<std::string, int> declared = DeclaredExports();
    const std::map<std::string, int> expected = ExpectedExports();
    for (const auto &[name, arguments] : declared) {
        const auto entry = expected.find(name);
        if (entry == expected.end()) {
            ADD_FAILURE() << "declared outside the catalogue: " << name;
        } else {
            EXPECT_EQ(arguments, entry->second) << name;
        }
    }
    std::string undeclared;
    for (const auto &[name, arguments] : expected) {
        if (!declared.count(name)) undeclared += " " + name;
    }
    EXPECT_EQ(undeclared, "") << "catalogue functions the header does not declare";
}
