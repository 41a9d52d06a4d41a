// The simulated camera's view of control requests from the controller: any sequence of
// requests (any type, request, value, index and payload, at any pace) is answered or
// stalled, never with more than the 64-byte data area, and a stalled request hands back no
// data.
//
// Input: one byte picks the camera model, then records of an 8-byte head (request type,
// request, value and index little-endian, milliseconds since the previous request, payload
// length) and up to 64 payload bytes.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sim/CameraList.h"
#include "sim/SimulatedCamera.h"

namespace {

using korvix::sim::request::kDataAreaBytes;

constexpr size_t kHeadBytes = 8;
// Small frames and no scene rendering work: the requests are what is fuzzed.
constexpr const char *kCameras[] = {"imx991:scene=uniform:100", "imx993:scene=uniform:100"};

const korvix::sim::CameraConfig &Config(uint8_t pick) {
    static const auto parsed = [] {
        std::array<korvix::sim::CameraConfig, 2> configs;
        for (size_t i = 0; i < configs.size(); ++i) {
            const auto result = korvix::sim::ParseCameraList(kCameras[i]);
            if (!result.ok() || result.cameras.size() != 1) std::abort();
            configs[i] = result.cameras[0];
        }
        return configs;
    }();
    return parsed[pick % parsed.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1) return 0;
    uint64_t nowMs = 0;
    korvix::sim::SimulatedCamera camera(Config(data[0]), nowMs);
    size_t at = 1;
    while (size - at >= kHeadBytes) {
        const uint8_t *head = data + at;
        korvix::sim::SetupPacket setup;
        setup.requestType = head[0];
        setup.request = head[1];
        setup.value = static_cast<uint16_t>(head[2] | head[3] << 8);
        setup.index = static_cast<uint16_t>(head[4] | head[5] << 8);
        nowMs += head[6];
        const size_t payload =
            std::min<size_t>({head[7] % (kDataAreaBytes + 1), size - at - kHeadBytes});
        at += kHeadBytes;

        std::array<uint8_t, kDataAreaBytes> area{};
        std::memcpy(area.data(), data + at, payload);
        at += payload;
        const korvix::sim::ControlResult result = camera.Control(setup, area, nowMs);
        if (result.dataBytes > kDataAreaBytes) std::abort();
        if (!result.ok && result.dataBytes != 0) std::abort();
    }
    return 0;
}
