#include "sim/CameraList.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace korvix::sim {

const ModelInfo *FindModel(std::string_view name) {
    for (const ModelInfo &model : kModels) {
        if (model.name == name) return &model;
    }
    return nullptr;
}

namespace {

std::string_view Trim(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// Parses a whole unsigned number, decimal or with a 0x prefix.
std::optional<uint64_t> ParseNumber(std::string_view text) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
        base = 16;
    }
    if (text.empty()) return std::nullopt;
    uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<uint16_t> ParseWord(std::string_view text) {
    auto value = ParseNumber(text);
    if (!value || *value > 0xFFFF) return std::nullopt;
    return static_cast<uint16_t>(*value);
}

// Applies one "key=value" option; returns an error text or "".
std::string ApplyOption(std::string_view key, std::string_view value, CameraConfig &config) {
    if (key == "serial") {
        if (value.empty() || value.size() > srom::kIdentityTextMax) {
            return "serial must have 1 to 31 characters";
        }
        if (value.find('\xFF') != std::string_view::npos) return "serial may not hold 0xFF";
        config.serial = std::string(value);
    } else if (key == "fw") {
        auto word = ParseWord(value);
        if (!word) return "fw needs a 16-bit number";
        config.firmwareVersion = *word;
    } else if (key == "fpga") {
        auto word = ParseWord(value);
        if (!word) return "fpga needs a 16-bit number";
        config.fpgaVersion = *word;
    } else if (key == "speed") {
        auto speed = ParseNumber(value);
        if (!speed || (*speed != kSpeedHigh && *speed != kSpeedSuper)) return "speed is 3 or 4";
        config.linkSpeed = static_cast<uint32_t>(*speed);
    } else if (key == "scene") {
        if (value == "synthetic") {
            config.scene = SceneKind::Synthetic;
        } else if (value == "ramp") {
            config.scene = SceneKind::Ramp;
        } else if (value == "counter") {
            config.scene = SceneKind::Counter;
        } else if (value.starts_with("uniform:")) {
            auto level = ParseNumber(value.substr(8));
            if (!level || *level > kSampleMax) return "uniform level is 0 to 4095";
            config.scene = SceneKind::Uniform;
            config.uniformLevel = static_cast<uint16_t>(*level);
        } else {
            return "scene is synthetic, uniform:LEVEL, ramp or counter";
        }
    } else if (key == "seed") {
        auto seed = ParseNumber(value);
        if (!seed) return "seed needs a number";
        config.seed = *seed;
    } else if (key == "noise") {
        if (value != "on" && value != "off") return "noise is on or off";
        config.noise = value == "on";
    } else if (key == "trigger") {
        auto period = ParseNumber(value);
        if (!period || *period == 0 || *period > kMaxTriggerPeriodMs) {
            return "trigger is a pulse period of 1 to 3600000 ms";
        }
        config.triggerPeriodMs = static_cast<uint32_t>(*period);
    } else if (key == "unplug_after") {
        auto frames = ParseNumber(value);
        if (!frames || *frames == 0 || *frames > UINT32_MAX)
            return "unplug_after needs 1 or more frames";
        config.unplugAfterFrames = static_cast<uint32_t>(*frames);
    } else {
        return "unknown option '" + std::string(key) + "'";
    }
    return {};
}

// The colon that starts the next "key=value" option at or after from, or npos. A colon
// followed by text without '=' before the next colon belongs to the current value (as in
// "scene=uniform:2000").
size_t NextOptionColon(std::string_view entry, size_t from) {
    for (size_t colon = entry.find(':', from); colon != std::string_view::npos;
         colon = entry.find(':', colon + 1)) {
        std::string_view rest = entry.substr(colon + 1);
        if (rest.find('=') < rest.find(':')) return colon;
    }
    return std::string_view::npos;
}

std::string DefaultSerial(const ModelInfo &model, size_t index) {
    std::string upper(model.name);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    char number[16];
    std::snprintf(number, sizeof number, "-SIM%04zu", index + 1);
    return upper + number;
}

CameraListParseResult ParseEntries(std::string_view text) {
    CameraListParseResult result;
    if (Trim(text).empty()) return result;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) comma = text.size();
        std::string_view entry = Trim(text.substr(start, comma - start));
        const size_t index = result.cameras.size();
        const std::string where = "camera " + std::to_string(index + 1) + ": ";
        if (entry.empty()) {
            result.error = where + "empty entry";
            return result;
        }
        size_t colon = entry.find(':');
        CameraConfig config;
        config.model = FindModel(Trim(entry.substr(0, colon)));
        if (config.model == nullptr) {
            result.error = where + "unknown model '" + std::string(entry.substr(0, colon)) + "'";
            return result;
        }
        while (colon != std::string_view::npos) {
            const size_t optionStart = colon + 1;
            const size_t next = NextOptionColon(entry, optionStart);
            std::string_view option =
                entry.substr(optionStart, next == std::string_view::npos ? std::string_view::npos
                                                                         : next - optionStart);
            size_t equals = option.find('=');
            if (equals == std::string_view::npos) {
                result.error = where + "option '" + std::string(option) + "' lacks '='";
                return result;
            }
            std::string error =
                ApplyOption(Trim(option.substr(0, equals)), option.substr(equals + 1), config);
            if (!error.empty()) {
                result.error = where + error;
                return result;
            }
            colon = next;
        }
        if (config.serial.empty()) config.serial = DefaultSerial(*config.model, index);
        result.cameras.push_back(std::move(config));
        start = comma + 1;
        if (comma == text.size()) break;
    }
    return result;
}

}  // namespace

CameraListParseResult ParseCameraList(std::string_view text) {
    CameraListParseResult result = ParseEntries(text);
    if (!result.ok()) result.cameras.clear();  // a faulty list configures nothing
    return result;
}

}  // namespace korvix::sim
