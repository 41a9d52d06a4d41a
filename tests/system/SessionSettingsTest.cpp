#include <cstdint>
#include <fstream>
#include <map>
#include <string>

#include "SimulatedCameras.h"
#include "support/TestEnvironment.h"
#include "platform/Registry.h"

namespace korvix::test {
namespace {

using platform::RegistryKey;
using platform::RegistryResult;

const std::string kProduct = "Software\\Velsor\\KorvixTesslin3T2Sdk";
const std::string kFirstUseCamera = kProduct + "\\Camera_-1";
const std::string kCamera0 = kProduct + "\\Camera_00";

using Values = std::map<std::string, uint32_t>;

class SystemSessionSettings : public SimulatedCamerasTest {
  protected:
    // A store of this test's own, so that cases never see each other's settings even when
    // they run in one process.
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        SetEnvironmentValue("KORVIX_REGISTRY", FreshRegistryStore(name).c_str());
    }

    // Every value of `expected` as stored in `path`.
    static void ExpectStored(const std::string &path, const Values &expected) {
        auto key = RegistryKey::Open(path);
        ASSERT_NE(key, nullptr) << path;
        for (const auto &[name, value] : expected) {
            uint32_t stored = 0;
            EXPECT_EQ(key->GetDword(name, stored), RegistryResult::Ok) << path << "\\" << name;
            EXPECT_EQ(stored, value) << path << "\\" << name;
        }
    }

    static void Store(const std::string &path, const Values &values) {
        auto key = RegistryKey::Create(path);
        ASSERT_NE(key, nullptr) << path;
        for (const auto &[name, value] : values) ASSERT_TRUE(key->SetDword(name, value));
    }

    // One session from initialisation to release.
    static void RunSession() {
        const int handle = Korvix_Initialize(nullptr);
        ASSERT_NE(handle, 0);
        EXPECT_EQ(Korvix_Release(handle), 1);
    }
};

TEST_F(SystemSessionSettings, FirstUseWritesTheDefaultPresetOnceWithOrWithoutACamera) {
    for (const char *cameras : {"", "imx990"}) {
        SCOPED_TRACE(cameras);
        const std::string name = std::string("first-use-") + (*cameras ? cameras : "none");
        SetEnvironmentValue("KORVIX_REGISTRY", FreshRegistryStore(name).c_str());
        UseCameras(cameras);
        ASSERT_FALSE(RegistryKey::Exists(kProduct));
        RunSession();
        ExpectStored(kFirstUseCamera + "\\Size_00", {{"TH", 1280}, {"TV", 1024}, {"EH", 1280},
                                                     {"EV", 1024}, {"EHS", 0}, {"EVS", 0}, {"Buf", 4}});
        ExpectStored(kFirstUseCamera,
                     {{"Size", 0}, {"Color", 2}, {"SubSample", 0}, {"WaitTime", 1}, {"Clock", 0}});

        // Once the product key exists the defaults are not written again.
        Store(kFirstUseCamera, {{"WaitTime", 33}});
        RunSession();
        ExpectStored(kFirstUseCamera, {{"WaitTime", 33}});
        sim::Simulator::Instance().Reset();
    }
}

TEST_F(SystemSessionSettings, GroupsSurviveReleaseAndANewSession) {
    UseCameras("imx990");
    ASSERT_FALSE(RegistryKey::Exists(kCamera0));
    RunSession();  // the release writes the three groups of the selected camera
    ASSERT_TRUE(RegistryKey::Exists(kCamera0 + "\\Gain"));
    ASSERT_TRUE(RegistryKey::Exists(kCamera0 + "\\Gray"));

    // Values the application left behind in an earlier session.
    const Values filter = {{"Brightness", 7}, {"Contrast", 3}, {"Gamma", 150}, {"Sharpness", 2}};
    uint32_t exposure = 0;
    ASSERT_EQ(RegistryKey::Open(kCamera0 + "\\Gain")->GetDword("Exposure", exposure), RegistryResult::Ok);
    const Values gain = {{"Exposure", exposure + 100}, {"V_Mirror", 1}};
    Store(kCamera0 + "\\Filter", filter);
    Store(kCamera0 + "\\Gain", gain);

    // The next session loads them with the camera and keeps them at its release.
    RunSession();
    ExpectStored(kCamera0 + "\\Filter", filter);
    ExpectStored(kCamera0 + "\\Gain", gain);
}

TEST_F(SystemSessionSettings, CameraKeyWithoutGrayGroupLoadsNeutralGrayValues) {
    UseCameras("imx990");
    Store(kCamera0 + "\\Filter", {{"Brightness", 5}});
    ASSERT_FALSE(RegistryKey::Exists(kCamera0 + "\\Gray"));
    RunSession();
    ExpectStored(kCamera0 + "\\Gray",
                 {{"Mode", 0}, {"GainR1", 128}, {"GainG1", 128}, {"GainG2", 128}, {"GainB1", 128},
                  {"OffsetR1", 128}, {"OffsetG1", 128}, {"OffsetG2", 128}, {"OffsetB1", 128}});
}

TEST_F(SystemSessionSettings, ConfigFileLoadsWholePairsAndAMissingFileFailsQuietly) {
    UseCameras("");
    const int handle = NewHandle();
    const std::string present = (TestDirectory() / "pairs.cfg").string();
    {
        std::ofstream file(present, std::ios::binary);
        const char bytes[20] = {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5, 0, 0, 0};
        file.write(bytes, sizeof bytes);
    }
    const std::string missing = (TestDirectory() / "missing.cfg").string();
    const std::string directory = TestDirectory().string();

    struct Case {
        std::string path;
        int result;
    };
    for (const Case &c : {Case{present, 1}, Case{missing, 0}, Case{directory, 0}}) {
        SCOPED_TRACE(c.path);
        const std::wstring wide(c.path.begin(), c.path.end());
        EXPECT_EQ(Korvix_LoadConfigFileA(handle, c.path.c_str()), c.result);
        EXPECT_EQ(Korvix_LoadConfigFileW(handle, wide.c_str()), c.result);
        EXPECT_EQ(Errors(handle), std::vector<int>{});
    }
}

}  // namespace
}  // namespace korvix::test
