#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>

#include "platform/Registry.h"
#include "session/settings/SettingsPersistence.h"
#include "support/TestEnvironment.h"

namespace korvix::persistence {
namespace {

using platform::RegistryKey;
using platform::RegistryResult;

uint32_t Dword(const std::string &path, const char *name) {
    auto key = RegistryKey::Open(path);
    uint32_t value = 0xDEADBEEF;
    EXPECT_TRUE(key) << path;
    if (key) {
        EXPECT_EQ(key->GetDword(name, value), RegistryResult::Ok) << path << " " << name;
    }
    return value;
}

void PutDword(const std::string &path, const char *name, int32_t value) {
    auto key = RegistryKey::Create(path);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetDword(name, static_cast<uint32_t>(value)));
}

void PutPreset(const std::string &path, const int (&values)[7]) {
    const char *names[7] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
    for (int k = 0; k < 7; ++k) PutDword(path, names[k], values[k]);
}

const std::string kProduct = "Software\\Velsor\\KorvixTesslin3T2Sdk";

TEST(SessionSettingsStore, FirstUseCreatesCameraMinusOneWithTheDefaultPreset) {
    ASSERT_FALSE(RegistryKey::Exists(kProduct));
    SessionSettings settings;
    CaptureWindow window;
    window.width = 640;
    settings.SetWindow(window);
    LoadSizeSettings(settings, -1, nullptr);

    const std::string camera = kProduct + "\\Camera_-1";
    const char *presetNames[7] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
    const uint32_t preset[7] = {1280, 1024, 1280, 1024, 0, 0, 4};
    for (int k = 0; k < 7; ++k) EXPECT_EQ(Dword(camera + "\\Size_00", presetNames[k]), preset[k]);
    EXPECT_EQ(Dword(camera, "Size"), 0u);
    EXPECT_EQ(Dword(camera, "Color"), 2u);
    EXPECT_EQ(Dword(camera, "SubSample"), 0u);
    EXPECT_EQ(Dword(camera, "WaitTime"), 1u);
    EXPECT_EQ(Dword(camera, "Clock"), 0u);
    // The first use writes defaults and leaves the session's fields alone.
    EXPECT_EQ(settings.Window().width, 640);

    // From then on the active preset of the camera is read.
    PutPreset(camera + "\\Size_03", {1280, 1024, 640, 512, 320, 256, 6});
    PutDword(camera, "Size", 3);
    LoadSizeSettings(settings, -1, nullptr);
    const CaptureWindow loaded = settings.Window();
    EXPECT_EQ(loaded.width, 640);
    EXPECT_EQ(loaded.height, 512);
    EXPECT_EQ(loaded.startX, 320);
    EXPECT_EQ(loaded.startY, 256);
    EXPECT_EQ(loaded.bufferCount, 6);
}

TEST(SessionSettingsStore, GroupsRoundTripPerDevice) {
    SessionSettings saved;
    ImageSettings image;
    image.brightness = 40;
    image.contrast = -12;
    image.hue = -300;
    image.saturation = 77;
    image.sharpness = 9;
    image.balanceRed = 150;
    image.balanceGreen = 99;
    image.balanceBlue = 400;
    image.gamma = 180;
    image.bayerMode = 2;
    image.grayMode = 1;
    for (int site = 0; site < 4; ++site) {
        image.grayGain[site] = 100 + site;
        image.grayOffset[site] = -200 + site;
    }
    saved.SetImage(image);
    CameraSettings camera;
    camera.globalGain = 17;
    camera.colorGainGreen1 = 1;
    camera.colorGainRed = 2;
    camera.colorGainBlue = 3;
    camera.colorGainGreen2 = 4;
    camera.exposure = 123456;
    camera.mirrorV = 1;
    camera.autoExposureMode = 2;
    camera.gainMode = 1;
    camera.blackLevel = 50;
    camera.exposureSeconds = 0.0125;
    saved.SetCamera(camera);
    SaveSettingsGroups(saved, 2);

    SessionSettings loaded;
    LoadSettingsGroups(loaded, 2, nullptr);
    const ImageSettings i = loaded.Image();
    EXPECT_EQ(i.brightness, 40);
    EXPECT_EQ(i.contrast, -12);
    EXPECT_EQ(i.hue, -300);
    EXPECT_EQ(i.saturation, 77);
    EXPECT_EQ(i.sharpness, 9);
    EXPECT_EQ(i.balanceRed, 150);
    EXPECT_EQ(i.balanceGreen, 99);
    EXPECT_EQ(i.balanceBlue, 400);
    EXPECT_EQ(i.gamma, 180);
    EXPECT_EQ(i.bayerMode, 2);
    EXPECT_EQ(i.grayMode, 1);
    for (int site = 0; site < 4; ++site) {
        EXPECT_EQ(i.grayGain[site], 100 + site);
        EXPECT_EQ(i.grayOffset[site], -200 + site);
    }
    const CameraSettings c = loaded.Camera();
    EXPECT_EQ(c.globalGain, 17);
    EXPECT_EQ(c.colorGainGreen1, 1);
    EXPECT_EQ(c.colorGainRed, 2);
    EXPECT_EQ(c.colorGainBlue, 3);
    EXPECT_EQ(c.colorGainGreen2, 4);
    EXPECT_EQ(c.exposure, 123456);
    EXPECT_EQ(c.mirrorV, 1);
    EXPECT_EQ(c.mirrorH, 0);
    EXPECT_EQ(c.autoExposureMode, 2);
    EXPECT_EQ(c.gainMode, 1);
    EXPECT_EQ(c.blackLevel, 50);
    EXPECT_DOUBLE_EQ(c.exposureSeconds, 0.0125);
    EXPECT_EQ(Dword(kProduct + "\\Camera_02\\Filter", "Brightness"), 40u);

    // Another device number has no groups: it loads the defaults.
    SessionSettings other;
    LoadSettingsGroups(other, 3, nullptr);
    EXPECT_EQ(other.Image().gamma, 100);
    EXPECT_EQ(other.Image().bayerMode, 3);
    EXPECT_EQ(other.Image().grayGain[0], 128);
}

TEST(SessionSettingsStore, MissingGrayGroupLoadsOneHundredTwentyEight) {
    PutDword(kProduct + "\\Camera_00\\Filter", "Brightness", 5);
    SessionSettings settings;
    ImageSettings image;
    image.grayMode = 2;
    for (int site = 0; site < 4; ++site) image.grayGain[site] = image.grayOffset[site] = 7;
    settings.SetImage(image);
    LoadGrayGroup(settings, 0);
    LoadFilterGroup(settings, 0);
    const ImageSettings loaded = settings.Image();
    EXPECT_EQ(loaded.grayMode, 0);
    for (int site = 0; site < 4; ++site) {
        EXPECT_EQ(loaded.grayGain[site], 128);
        EXPECT_EQ(loaded.grayOffset[site], 128);
    }
    // A present group with a missing value leaves that field as it was.
    EXPECT_EQ(loaded.brightness, 5);
    EXPECT_EQ(loaded.gamma, 0);
}

TEST(SessionSettingsStore, GrayGroupIsSavedOnlyIntoAnExistingCameraKey) {
    SessionSettings settings;
    SaveGrayGroup(settings, 4);
    EXPECT_FALSE(RegistryKey::Exists(kProduct + "\\Camera_04"));
    SaveSettingsGroups(settings, 4);
    EXPECT_TRUE(RegistryKey::Exists(kProduct + "\\Camera_04\\Gray"));
}

struct EntryCase {
    const char *name;
    int32_t stored[3];    // Color, SubSample, WaitTime
    int32_t expected[3];
};

class SessionSettingsEntries : public ::testing::TestWithParam<EntryCase> {};

TEST_P(SessionSettingsEntries, OutOfRangeValuesFallBackToDefaults) {
    const EntryCase &c = GetParam();
    const std::string camera = kProduct + "\\Camera_01";
    PutDword(camera, "Color", c.stored[0]);
    PutDword(camera, "SubSample", c.stored[1]);
    PutDword(camera, "WaitTime", c.stored[2]);
    PutDword(camera, "Clock", 3);
    SessionSettings settings;
    LoadCameraSettings(settings, 1, nullptr);
    const CameraEntries entries = settings.Entries();
    EXPECT_EQ(entries.colorIndex, c.expected[0]);
    EXPECT_EQ(entries.subSample, c.expected[1]);
    EXPECT_EQ(entries.waitTime, c.expected[2]);
    EXPECT_EQ(entries.clock, 3);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SessionSettingsEntries,
    ::testing::Values(EntryCase{"Valid", {4, 1, 250}, {4, 1, 250}},
                      EntryCase{"ColorAboveFive", {6, 0, 10}, {2, 0, 10}},
                      EntryCase{"ColorNegative", {-1, 0, 10}, {2, 0, 10}},
                      EntryCase{"SubSampleTwo", {0, 2, 10}, {0, 0, 10}},
                      EntryCase{"WaitTimeNegative", {0, 0, -5}, {0, 0, 1}},
                      EntryCase{"WaitTimeWeeks", {0, 0, 0x7FFFFFFF}, {0, 0, 1}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(SessionSettingsStore, SizePresetSearchStopsAtTheFirstGap) {
    CaptureWindow window;
    EXPECT_FALSE(FindSizePreset(1280, 1024, window));  // no product key
    PutPreset(kProduct + "\\Size_00", {1280, 1024, 1280, 1024, 0, 0, 4});
    PutPreset(kProduct + "\\Size_01", {1280, 1024, 640, 480, 100, 200, 2});
    PutPreset(kProduct + "\\Size_03", {1280, 1024, 320, 240, 0, 0, 2});
    ASSERT_TRUE(FindSizePreset(640, 480, window));
    EXPECT_EQ(window.width, 640);
    EXPECT_EQ(window.height, 480);
    EXPECT_EQ(window.startX, 100);
    EXPECT_EQ(window.startY, 200);
    EXPECT_EQ(window.bufferCount, 2);
    EXPECT_FALSE(FindSizePreset(320, 240, window));  // behind the missing Size_02
    EXPECT_FALSE(FindSizePreset(640, 512, window));
}

TEST(SessionConfigFile, PairsOfLittleEndianIntegers) {
    const auto path = (korvix::test::TestDirectory() / "pairs.cfg").string();
    {
        std::ofstream file(path, std::ios::binary);
        const unsigned char bytes[20] = {1, 0, 0, 0, 0x00, 0x01, 0, 0,       // 1, 256
                                         0xFE, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x7F,  // -2, 2^31-2^24
                                         9, 9, 9, 9};                            // ignored
        file.write(reinterpret_cast<const char *>(bytes), sizeof bytes);
    }
    std::vector<ConfigPair> pairs{{5, 5}, {6, 6}, {7, 7}};
    ASSERT_TRUE(ReadConfigFile(path, pairs));
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0].first, 1);
    EXPECT_EQ(pairs[0].second, 256);
    EXPECT_EQ(pairs[1].first, -2);
    EXPECT_EQ(pairs[1].second, 0x7F000000);

    EXPECT_FALSE(ReadConfigFile(path + ".missing", pairs));
    EXPECT_EQ(pairs.size(), 2u);
    std::ofstream(path, std::ios::binary | std::ios::trunc).close();
    ASSERT_TRUE(ReadConfigFile(path, pairs));
    EXPECT_TRUE(pairs.empty());
}

}  // namespace
}  // namespace korvix::persistence
