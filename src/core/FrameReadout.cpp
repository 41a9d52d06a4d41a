// Frame geometry and the session's side of the frame ring: buffer sizes, FPGA geometry
// registers, and the oriented copies out of the ring.

#include <climits>

#include "controller/KorCy3Cam.h"
#include "core/FrameCopy.h"
#include "core/FrameGeometry.h"
#include "core/KorvixU3T2Base.h"
#include "core/ProductTable.h"
#include "sensors/SensorBase.h"

namespace korvix::core {
namespace {

// FPGA geometry and read-out offset registers, each a 16-bit value as low and high byte.
constexpr uint8_t kHeightRegister = 0x40;
constexpr uint8_t kWidthRegister = 0x44;
constexpr uint8_t kOffsetTRegister = 0x48;
constexpr uint8_t kOffsetERegister = 0x4C;

void WriteFpgaWord(controller::CKorCy3Cam &controller, uint8_t lowRegister, uint32_t value) {
    controller.WriteFpgaRegister(lowRegister, static_cast<uint8_t>(value & 0xFF));
    controller.WriteFpgaRegister(static_cast<uint8_t>(lowRegister + 1),
                                 static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

int CKorvixU3T2Base::BytesPerPixel() const {
    return bitMode == 1 || bitMode == 2 ? 2 : 1;
}

int CKorvixU3T2Base::ApplyGeometry() {
    DeviceLock lock(deviceLock);
    // The buffers are about to be replaced: no thread may still be filling them.
    if (running.load(std::memory_order_acquire)) StopTransfer(1);
    transferBuffer.reset();
    transferBufferSize = 0;
    frameLayout = {};
    frameBytes = 0;
    if (!sensor) return 0;

    const sensors::SensorParams &params = sensor->Params();
    FrameLayout layout{params.width, params.height, BytesPerPixel()};
    uint32_t size = TransferBufferSize(layout.width, layout.height, layout.bytesPerSample);
    // A window whose byte count does not fit in the int fields of the frame is refused.
    if (size == 0 || layout.Bytes() == 0 || layout.Bytes() > INT32_MAX) return 0;
    transferBuffer = AllocateFrameBuffer(size);
    auto allocateForRing = [](uint32_t bytes, void *core) {
        return static_cast<CKorvixU3T2Base *>(core)->AllocateFrameBuffer(bytes);
    };
    if (!transferBuffer || !ring.Allocate(size, allocateForRing, this)) {
        transferBuffer.reset();
        ring.Free();
        return 0;
    }
    transferBufferSize = size;
    frameLayout = layout;
    frameBytes = static_cast<int>(layout.Bytes());

    if (controller) {
        const int width = layout.width, height = layout.height;
        WriteFpgaWord(*controller, kWidthRegister, static_cast<uint32_t>(width));
        WriteFpgaWord(*controller, kHeightRegister, static_cast<uint32_t>(height));
        SensorFamily family = FamilyOfProduct(productCode);
        bool fullHeight = family == SensorFamily::Imx992 ? height == params.defaultHeight
                                                         : height == params.sensorHeight;
        ReadoutOffsets offsets =
            ComputeReadoutOffsets(family, params.subsampleMode, sensor->CanOutput16Bit() != 0,
                                  params.mirrorH != 0, fullHeight);
        WriteFpgaWord(*controller, kOffsetTRegister, offsets.t);
        WriteFpgaWord(*controller, kOffsetERegister, offsets.e);
    }
    geometryDirty = 0;
    return 1;
}

std::unique_ptr<uint8_t[]> CKorvixU3T2Base::AllocateFrameBuffer(uint32_t bytes) {
    return FrameRing::AllocateZeroed(bytes, nullptr);
}

int CKorvixU3T2Base::CopyFrameEntry(uint8_t *buffer, uint32_t capacity,
                                    const FrameOutputs &outputs, bool first, int orientationFlag,
                                    int *copiedIndex) {
    int result = 0;
    CopyOrientation orientation =
        OrientationFor(sensorOrientation.load(std::memory_order_relaxed), orientationFlag);
    int index = ring.Read(first, [&](const uint8_t *pixels, const FrameEntryInfo &info) {
        if (outputs.frameNumber) *outputs.frameNumber = info.number;
        if (outputs.tagA) *outputs.tagA = info.tags.a;
        if (outputs.tagB) *outputs.tagB = info.tags.b;
        if (outputs.tagC) *outputs.tagC = info.tags.c;
        if (outputs.tagD) *outputs.tagD = info.tags.d;
        const FrameLayout &layout = info.layout;
        // The entry's own geometry decides the copy; an entry without a whole frame of that
        // geometry has nothing to hand out.
        bool holdsFrame = pixels && info.bytes != 0 && layout.Bytes() == info.bytes;
        if (outputs.layout) *outputs.layout = holdsFrame ? layout : FrameLayout{};
        if (!holdsFrame) return;
        if (buffer) {
            if (capacity < info.bytes) return;
            CopyOrientedFrame(pixels, buffer, static_cast<uint32_t>(layout.width),
                              static_cast<uint32_t>(layout.height),
                              static_cast<uint32_t>(layout.bytesPerSample), orientation);
        }
        result = 1;
    });
    if (copiedIndex) *copiedIndex = index;
    return result;
}

int CKorvixU3T2Base::CopyFrame(uint8_t *buffer, uint32_t capacity, int *frameNumber, int *tagA,
                               int *tagB, int *tagC, int *tagD, int first, int orientationFlag,
                               FrameLayout *layout) {
    return CopyFrameEntry(buffer, capacity, {frameNumber, tagA, tagB, tagC, tagD, layout},
                          first != 0, orientationFlag, nullptr);
}

int CKorvixU3T2Base::GetFrame(uint8_t *buffer, uint32_t capacity, int orientationFlag,
                              FrameLayout *layout) {
    return GetFrameEx(buffer, capacity, nullptr, nullptr, nullptr, nullptr, nullptr,
                      orientationFlag, layout);
}

int CKorvixU3T2Base::GetFrameEx(uint8_t *buffer, uint32_t capacity, int *frameNumber, int *tagA,
                                int *tagB, int *tagC, int *tagD, int orientationFlag,
                                FrameLayout *layout) {
    // The entry copied is the one marked taken: a frame that lands during the copy stays new.
    int index = ring.NewestIndex();
    int result = CopyFrameEntry(buffer, capacity, {frameNumber, tagA, tagB, tagC, tagD, layout},
                                false, orientationFlag, &index);
    ring.MarkTaken(index);
    return result;
}

int CKorvixU3T2Base::CopyFirstFrame(uint8_t *buffer, uint32_t capacity, int orientationFlag,
                                    FrameLayout *layout) {
    if (!buffer) return -2;
    return CopyFrameEntry(buffer, capacity, {nullptr, nullptr, nullptr, nullptr, nullptr, layout},
                          true, orientationFlag, nullptr);
}

}  // namespace korvix::core
