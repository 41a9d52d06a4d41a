// The settings loaders reading a store whose values have any type and size: every value
// name they read, under every key they open, is first written from the input as a DWORD or
// as a binary block of 0 to 63 bytes; then the size preset, the camera entries and the
// three setting groups are loaded and a size preset is searched. The entries stay within
// their ranges whatever the store holds, and a preset found has the size asked for.
//
// Input: records of key, value name, type (even: DWORD of the next 4 bytes; odd: binary of
// the length in the next byte, modulo 64, and that many bytes); the last 8 bytes left over
// are the width and height searched.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/Registry.h"
#include "session/SessionSettings.h"
#include "session/settings/SettingsPersistence.h"

namespace {

using korvix::persistence::kProductKey;

const std::string kKeys[] = {
    kProductKey,
    std::string(kProductKey) + "\\Size_00",
    std::string(kProductKey) + "\\Size_01",
    std::string(kProductKey) + "\\Camera_00",
    std::string(kProductKey) + "\\Camera_00\\Size_00",
    std::string(kProductKey) + "\\Camera_00\\Size_01",
    std::string(kProductKey) + "\\Camera_00\\Gain",
    std::string(kProductKey) + "\\Camera_00\\Filter",
    std::string(kProductKey) + "\\Camera_00\\Gray",
};
const char *const kNames[] = {
    "Size",      "Color",      "SubSample",  "WaitTime",   "Clock",    "TH",        "TV",
    "EH",        "EV",         "EHS",        "EVS",        "Buf",      "Global",    "ColorG1",
    "ColorR",    "ColorB",     "ColorG2",    "Exposure",   "V_Mirror", "H_Mirror",  "AutoIris",
    "GainMode",  "BlackLevel", "ExposureEx", "Brightness", "Contrast", "Hue",       "Saturation",
    "Sharpness", "R_Gain",     "G_Gain",     "B_Gain",     "Gamma",    "BayerMode", "Mode",
    "GainR1",    "GainG1",     "GainG2",     "GainB1",     "OffsetR1", "OffsetG1",  "OffsetG2",
    "OffsetB1"};
constexpr size_t kBinaryLengths = 64;

// The store of one fuzzing process, emptied before every input and removed at the end. It
// lives in memory-backed /dev/shm where there is one: every value written is a committed
// transaction, and a disk makes that a few milliseconds each.
struct Store {
    std::string path = [] {
        const char *dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
        return std::string(dir != nullptr ? dir : "/tmp") + "/korvix-fuzz-" +
               std::to_string(getpid()) + "-registry.sqlite";
    }();
    Store() { setenv("KORVIX_REGISTRY", path.c_str(), 1); }
    ~Store() { Empty(); }
    void Empty() const {
        for (const char *suffix : {"", "-wal", "-shm", "-journal"})
            std::remove((path + suffix).c_str());
    }
};

int32_t Int32At(const uint8_t *bytes) {
    return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 |
                                static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const Store store;
    store.Empty();
    size_t at = 0;
    while (size - at >= 3 + 8) {
        const std::string &path = kKeys[data[at] % std::size(kKeys)];
        const char *name = kNames[data[at + 1] % std::size(kNames)];
        const bool binary = data[at + 2] % 2 != 0;
        at += 3;
        auto key = korvix::platform::RegistryKey::Create(path);
        if (!key) std::abort();
        if (!binary) {
            if (!key->SetDword(name, static_cast<uint32_t>(Int32At(data + at)))) std::abort();
            at += 4;
            continue;
        }
        const size_t length = std::min<size_t>(data[at] % kBinaryLengths, size - at - 1);
        if (!key->SetBinary(name, data + at + 1, length)) std::abort();
        at += 1 + length;
    }
    int32_t width = 1280, height = 1024;
    if (size - at >= 8) {
        width = Int32At(data + at);
        height = Int32At(data + at + 4);
    }

    korvix::SessionSettings settings;
    korvix::persistence::LoadSizeSettings(settings, 0, nullptr);
    korvix::persistence::LoadCameraSettings(settings, 0, nullptr);
    korvix::persistence::LoadSettingsGroups(settings, 0, nullptr);
    const korvix::CameraEntries entries = settings.Entries();
    if (entries.colorIndex < 0 || entries.colorIndex > 5) std::abort();
    if (entries.subSample != 0 && entries.subSample != 1) std::abort();
    if (entries.waitTime < 0 || entries.waitTime > 60000) std::abort();

    korvix::CaptureWindow window;
    if (korvix::persistence::FindSizePreset(width, height, window) &&
        (window.width != width || window.height != height)) {
        std::abort();
    }
    return 0;
}
