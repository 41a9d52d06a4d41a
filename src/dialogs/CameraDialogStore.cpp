// The camera dialog's reading and writing of the camera's key in the settings store.
#include <cstdio>

#include "dialogs/CameraDialog.h"
#include "platform/Registry.h"

namespace korvix::dialogs {

namespace {

using platform::RegistryKey;

std::string PresetKey(const std::string &cameraKey, int index) {
    char name[16];
    std::snprintf(name, sizeof name, "Size_%02d", index);
    return cameraKey + "\\" + name;
}

void Read(RegistryKey &key, const char *name, int32_t &value) {
    uint32_t stored = 0;
    if (key.GetDword(name, stored) == platform::RegistryResult::Ok)
        value = static_cast<int32_t>(stored);
}

// The preset values in their stored order.
struct PresetValue {
    const char *name;
    int32_t SizeEntry::*field;
};
constexpr PresetValue kPresetValues[] = {
    {"TH", &SizeEntry::totalWidth},   {"TV", &SizeEntry::totalHeight}, {"EH", &SizeEntry::width},
    {"EV", &SizeEntry::height},       {"EHS", &SizeEntry::startX},     {"EVS", &SizeEntry::startY},
    {"Buf", &SizeEntry::bufferCount},
};

struct FormatValue {
    const char *name;
    int32_t StreamFormat::*field;
};
constexpr FormatValue kFormatValues[] = {
    {"Size", &StreamFormat::size},           {"Color", &StreamFormat::color},
    {"SubSample", &StreamFormat::subSample}, {"WaitTime", &StreamFormat::waitTime},
    {"Clock", &StreamFormat::clock},
};

}  // namespace

StreamFormat LoadStreamFormat(const std::string &cameraKey) {
    StreamFormat format;
    auto camera = RegistryKey::Open(cameraKey);
    if (!camera) return format;
    for (int index = 0; index < StreamFormat::kMaxSizes; ++index) {
        auto preset = RegistryKey::Open(PresetKey(cameraKey, index));
        if (!preset) break;
        SizeEntry entry;
        for (const PresetValue &value : kPresetValues)
            Read(*preset, value.name, entry.*value.field);
        format.sizes.push_back(entry);
    }
    for (const FormatValue &value : kFormatValues) Read(*camera, value.name, format.*value.field);
    return format;
}

void SaveStreamFormat(const std::string &cameraKey, const StreamFormat &format) {
    auto camera = RegistryKey::Create(cameraKey);
    if (!camera) return;
    for (size_t index = 0; index < format.sizes.size(); ++index) {
        auto preset = RegistryKey::Create(PresetKey(cameraKey, static_cast<int>(index)));
        if (!preset) return;
        for (const PresetValue &value : kPresetValues) {
            if (!preset->SetDword(value.name,
                                  static_cast<uint32_t>(format.sizes[index].*value.field)))
                return;
        }
    }
    for (const FormatValue &value : kFormatValues) {
        if (!camera->SetDword(value.name, static_cast<uint32_t>(format.*value.field))) return;
    }
}

}  // namespace korvix::dialogs
