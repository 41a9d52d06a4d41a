#include "core/FrameGeometry.h"

namespace korvix::core {
namespace {

constexpr uint64_t kMargin = 128;
constexpr uint64_t kSizeGranule = 8192;

ReadoutOffsets Imx990Offsets(int mode, bool canOutput16Bit, bool mirror, bool fullHeight) {
    if (mode == 0) {
        uint16_t t = fullHeight ? 25 : 21;
        if (canOutput16Bit) return {t, static_cast<uint16_t>(mirror ? 104 : 8)};
        return {t, static_cast<uint16_t>(mirror ? 100 : 4)};
    }
    if (mode == 1) {
        if (canOutput16Bit) return {23, static_cast<uint16_t>(mirror ? 52 : 4)};
        return {23, static_cast<uint16_t>(mirror ? 48 : 0)};
    }
    return {21, static_cast<uint16_t>(mirror ? 104 : 8)};
}

// The IMX992 and IMX993 differ only in T of the plain window mode.
ReadoutOffsets Imx992Offsets(int mode, bool mirror, uint16_t windowT) {
    if (mode == 0) return {windowT, static_cast<uint16_t>(mirror ? 16 : 112)};
    uint16_t t = mode == 1 ? 31 : 17;
    return {t, static_cast<uint16_t>(mirror ? 8 : 52)};
}

}  // namespace

uint32_t TransferBufferSize(int width, int height, int bytesPerPixel) {
    if (width <= 0 || height <= 0 || bytesPerPixel <= 0) return 0;
    uint64_t bytes = (static_cast<uint64_t>(height) + kMargin) *
                     (static_cast<uint64_t>(width) + kMargin) *
                     static_cast<uint64_t>(bytesPerPixel);
    bytes = (bytes + kSizeGranule - 1) / kSizeGranule * kSizeGranule;
    return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

ReadoutOffsets ComputeReadoutOffsets(SensorFamily family, int subsampleMode, bool canOutput16Bit,
                                     bool mirrorH, bool fullHeight) {
    switch (family) {
        case SensorFamily::Imx990:
        case SensorFamily::Imx991:
            return Imx990Offsets(subsampleMode, canOutput16Bit, mirrorH, fullHeight);
        case SensorFamily::Imx992:
            return Imx992Offsets(subsampleMode, mirrorH, fullHeight ? 33 : 25);
        case SensorFamily::Imx993:
            return Imx992Offsets(subsampleMode, mirrorH, 25);
        case SensorFamily::None:
            break;
    }
    return {};
}

}  // namespace korvix::core
