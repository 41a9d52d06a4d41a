// Frame geometry and the session's side of the frame ring: buffer sizes, FPGA geometry
// registers, and the oriented copies out of the ring.

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
    // The buffers are about to be replaced: no thread may still be filling them.
    if (running.load(std::memory_order_acquire)) StopTransfer(1);
    transferBuffer.reset();
    transferBufferSize = 0;
    if (!sensor) return 0;

    const sensors::SensorParams &params = sensor->Params();
    int bytesPerPixel = BytesPerPixel();
    int width = params.width;
    int height = params.height;
    uint32_t size = TransferBufferSize(width, height, bytesPerPixel);
    if (size == 0) return 0;
    try {
        transferBuffer = std::make_unique<uint8_t[]>(size);
    } catch (const std::bad_alloc &) {
        return 0;
    }
    transferBufferSize = size;
    frameBytes = width * height * bytesPerPixel;
    if (!ring.Allocate(size)) return 0;

    if (controller) {
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

int CKorvixU3T2Base::CopyFrameEntry(uint8_t *buffer, uint32_t length, int *frameNumber, int *tagA,
                                    int *tagB, int *tagC, int *tagD, bool first,
                                    int orientationFlag, int *copiedIndex) {
    if (length < static_cast<uint32_t>(frameBytes)) return 0;
    int result = 1;
    const sensors::SensorParams *params = sensor ? &sensor->Params() : nullptr;
    int index = ring.Read(first, [&](const uint8_t *pixels, const FrameEntryInfo &info) {
        if (frameNumber) *frameNumber = info.number;
        if (tagA) *tagA = info.tags.a;
        if (tagB) *tagB = info.tags.b;
        if (tagC) *tagC = info.tags.c;
        if (tagD) *tagD = info.tags.d;
        if (!buffer || frameBytes == 0) return;
        if (!pixels || !params) {
            result = 0;
            return;
        }
        CopyOrientedFrame(pixels, buffer, static_cast<uint32_t>(params->width),
                          static_cast<uint32_t>(params->height),
                          static_cast<uint32_t>(BytesPerPixel()),
                          OrientationFor(params->orientation, orientationFlag));
    });
    if (copiedIndex) *copiedIndex = index;
    return result;
}

int CKorvixU3T2Base::CopyFrame(uint8_t *buffer, uint32_t length, int *frameNumber, int *tagA,
                               int *tagB, int *tagC, int *tagD, int first, int orientationFlag) {
    return CopyFrameEntry(buffer, length, frameNumber, tagA, tagB, tagC, tagD, first != 0,
                          orientationFlag, nullptr);
}

int CKorvixU3T2Base::GetFrame(uint8_t *buffer, int orientationFlag) {
    return GetFrameEx(buffer, nullptr, nullptr, nullptr, nullptr, nullptr, orientationFlag);
}

int CKorvixU3T2Base::GetFrameEx(uint8_t *buffer, int *frameNumber, int *tagA, int *tagB, int *tagC,
                                int *tagD, int orientationFlag) {
    // The entry copied is the one marked taken: a frame that lands during the copy stays new.
    int index = ring.NewestIndex();
    CopyFrameEntry(buffer, static_cast<uint32_t>(frameBytes), frameNumber, tagA, tagB, tagC, tagD,
                   false, orientationFlag, &index);
    ring.MarkTaken(index);
    return 0;
}

int CKorvixU3T2Base::CopyFirstFrame(uint8_t *buffer, int orientationFlag) {
    if (!buffer) return -2;
    CopyFrameEntry(buffer, static_cast<uint32_t>(frameBytes), nullptr, nullptr, nullptr, nullptr,
                   nullptr, true, orientationFlag, nullptr);
    return 0;
}

}  // namespace korvix::core
