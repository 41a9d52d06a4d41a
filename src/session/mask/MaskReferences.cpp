#include "session/mask/MaskReferences.h"

#include <cstring>
#include <vector>

#include "session/mask/MaskFile.h"

namespace korvix::mask {

namespace {

MaskReferences ReferencesOf(SessionImages &images) {
    return {images.darkRef8.get(), images.brightRef8.get(), images.darkRef16.get(),
            images.brightRef16.get()};
}

// Rebuilds one map from its reference; maps of missing images are skipped.
void Rebuild(const std::unique_ptr<imaging::FrameImage> &reference,
             const std::unique_ptr<imaging::FrameImage> &map, DefectMapKind kind) {
    if (reference && map) BuildDefectMap(*reference, *map, kind);
}

}  // namespace

bool LoadMaskReferences(const char *fileName, SessionImages &images,
                        platform::CriticalSection &maskLock) {
    // The file is read before the lock is taken: frames are not held up by the disk.
    std::vector<uint8_t> scratch;
    if (!ReadMaskFile(fileName, scratch)) return false;
    platform::CriticalSectionLock mask(maskLock);
    if (!StoreMaskFile(scratch, ReferencesOf(images))) return false;
    Rebuild(images.darkRef8, images.hotMap8, kHotMap);
    Rebuild(images.brightRef8, images.deadMap8, kDeadMap);
    Rebuild(images.darkRef16, images.hotMap16, kHotMap);
    Rebuild(images.brightRef16, images.deadMap16, kDeadMap);
    return true;
}

bool SaveMaskReferences(const char *fileName, SessionImages &images,
                        platform::CriticalSection &maskLock) {
    platform::CriticalSectionLock mask(maskLock);
    return WriteMaskFile(fileName, ReferencesOf(images));
}

bool UpdateMaskReference(SessionImages &images, int colorIndex, int which,
                         platform::CriticalSection &maskLock) {
    if (which != kHotMap && which != kDeadMap) return false;
    const imaging::FrameImage *raw = images.RawImageOf(colorIndex);
    if (raw == nullptr || raw->IsEmpty() || raw->Width() != kMaskWidth ||
        raw->Height() != kMaskHeight) {
        return true;
    }
    const bool wide = IsSixteenBitIndex(colorIndex);
    const auto &reference = which == kHotMap ? (wide ? images.darkRef16 : images.darkRef8)
                                             : (wide ? images.brightRef16 : images.brightRef8);
    const auto &map = which == kHotMap ? (wide ? images.hotMap16 : images.hotMap8)
                                       : (wide ? images.deadMap16 : images.deadMap8);
    if (!reference || reference->SizeBytes() != raw->SizeBytes() ||
        reference->BitCount() != raw->BitCount()) {
        return true;
    }
    platform::CriticalSectionLock mask(maskLock);
    std::memcpy(reference->Bits(), raw->Bits(), raw->SizeBytes());
    Rebuild(reference, map, static_cast<DefectMapKind>(which));
    return true;
}

std::optional<SensorWindow> SensorWindowOf(const CaptureWindow &window,
                                           const imaging::FrameImage &frame, ReadoutTurn turn) {
    for (int32_t step : {1, 2, 4, 8}) {
        if (window.width / step == frame.Width() && window.height / step == frame.Height()) {
            return SensorWindow{window.startX + (turn.columns ? step - 1 : 0),
                                window.startY + (turn.rows ? step - 1 : 0), step};
        }
    }
    return std::nullopt;
}

void RunMaskStep(SessionImages &images, int colorIndex, const CaptureWindow &window,
                 const MaskStepSwitches &switches) {
    if (switches.maskLock == nullptr || (!switches.maskCorrection && !switches.defectCorrection)) {
        return;
    }
    imaging::FrameImage *raw = images.RawImageOf(colorIndex);
    if (raw == nullptr || raw->IsEmpty()) return;
    const std::optional<SensorWindow> sensor = SensorWindowOf(window, *raw, switches.turn);
    if (!sensor) return;
    const bool wide = IsSixteenBitIndex(colorIndex);
    const auto &dark = wide ? images.darkRef16 : images.darkRef8;
    const auto &bright = wide ? images.brightRef16 : images.brightRef8;
    const auto &hot = wide ? images.hotMap16 : images.hotMap8;
    const auto &dead = wide ? images.deadMap16 : images.deadMap8;
    const auto &work = wide ? images.defectMap16 : images.defectMap8;

    platform::CriticalSectionLock mask(*switches.maskLock);
    const bool rescaled = switches.maskCorrection && dark && bright &&
                          MaskCorrect(*raw, *dark, *bright, *sensor);
    if (switches.defectCorrection && hot && dead && work) {
        // The 16-bit threshold is in the sensor's 12-bit units; a frame the mask correction
        // has spread over the full 16-bit range needs it on that scale, or ordinary noise
        // would count as defects and good pixels would be replaced by their neighbours.
        const int threshold =
            !wide ? kDefectThreshold8 : kDefectThreshold16 << (rescaled ? kMaskRangeShift16 : 0);
        DefectCorrect(*raw, *hot, *dead, *work, *sensor, threshold);
    }
}

}  // namespace korvix::mask
