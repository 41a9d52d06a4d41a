#include "core/FrameRing.h"

#include <cstring>
#include <mutex>
#include <new>
#include <thread>

namespace korvix::core {

uint32_t FrameLayout::Bytes() const {
    if (width <= 0 || height <= 0 || bytesPerSample <= 0) return 0;
    uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) *
                     static_cast<uint64_t>(bytesPerSample);
    return bytes > UINT32_MAX ? 0 : static_cast<uint32_t>(bytes);
}

FrameRing::FrameRing() {
    for (std::atomic<int> &count : readers) count.store(0, std::memory_order_relaxed);
}

void FrameRing::SetBufferCount(int count) {
    std::unique_lock storage(storageLock);
    int clamped = count > kMaxBuffers ? kMaxBuffers : (count < 1 ? 1 : count);
    bufferCount.store(clamped, std::memory_order_release);
    writeIndex.store(0, std::memory_order_relaxed);
    readMark.store(clamped - 1, std::memory_order_relaxed);
}

std::unique_ptr<uint8_t[]> FrameRing::AllocateZeroed(uint32_t bytes, void * /*context*/) {
    return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[bytes]());
}

bool FrameRing::Allocate(uint32_t size, BufferAllocator allocate, void *context) {
    std::unique_lock storage(storageLock);
    FreeBuffers();
    if (size == 0) return false;
    int count = BufferCount();
    for (int i = 0; i < count; ++i) {
        frameBuffers[i] = allocate(size, context);
        if (!frameBuffers[i]) {
            // A ring with holes would drop every frame that lands on a hole: all or nothing.
            FreeBuffers();
            return false;
        }
    }
    bufferSize = size;
    return true;
}

void FrameRing::Free() {
    std::unique_lock storage(storageLock);
    FreeBuffers();
}

void FrameRing::FreeBuffers() {
    for (std::unique_ptr<uint8_t[]> &buffer : frameBuffers) buffer.reset();
    bufferSize = 0;
    ResetEntries();
}

void FrameRing::ResetEntries() {
    for (int i = 0; i < kMaxBuffers; ++i) {
        frameNumbers[i] = -1;
        frameTagA[i] = frameTagB[i] = frameTagC[i] = frameTagD[i] = 0xFFFF;
        frameSizes[i] = 0;
        frameLayouts[i] = {};
    }
}

bool FrameRing::HasBuffers() const {
    std::shared_lock storage(storageLock);
    int count = BufferCount();
    for (int i = 0; i < count; ++i) {
        if (!frameBuffers[i]) return false;
    }
    return true;
}

bool FrameRing::Claim(int index) {
    writingSlot.store(index, std::memory_order_seq_cst);
    if (readers[index].load(std::memory_order_seq_cst) == 0) return true;
    ReleaseClaim();
    return false;
}

void FrameRing::ReleaseClaim() {
    writingSlot.store(-1, std::memory_order_seq_cst);
}

bool FrameRing::Publish(const uint8_t *frame, uint32_t bytes, int32_t number,
                        const FrameTags &tags, const FrameLayout &layout) {
    std::shared_lock storage(storageLock);
    int index = writeIndex.load(std::memory_order_relaxed);
    if (!frameBuffers[index] || bytes > bufferSize || !Claim(index)) return false;
    std::memcpy(frameBuffers[index].get(), frame, bytes);
    frameNumbers[index] = number;
    frameTagA[index] = tags.a;
    frameTagB[index] = tags.b;
    frameTagC[index] = tags.c;
    frameTagD[index] = tags.d;
    frameSizes[index] = bytes;
    frameLayouts[index] = layout;
    ReleaseClaim();
    int next = index + 1 >= BufferCount() ? 0 : index + 1;
    writeIndex.store(next, std::memory_order_release);
    return true;
}

void FrameRing::StoreTags(const FrameTags &tags) {
    std::shared_lock storage(storageLock);
    int index = writeIndex.load(std::memory_order_relaxed);
    if (!Claim(index)) return;
    frameTagA[index] = tags.a;
    frameTagB[index] = tags.b;
    frameTagC[index] = tags.c;
    frameTagD[index] = tags.d;
    ReleaseClaim();
}

bool FrameRing::StoreFirst(const uint8_t *frame, uint32_t bytes, int32_t number,
                           const FrameLayout &layout) {
    std::shared_lock storage(storageLock);
    if (!frameBuffers[0] || bytes > bufferSize || !Claim(0)) return false;
    std::memcpy(frameBuffers[0].get(), frame, bytes);
    frameNumbers[0] = number;
    frameSizes[0] = bytes;
    frameLayouts[0] = layout;
    ReleaseClaim();
    return true;
}

int FrameRing::NewestIndex() const {
    int index = WriteIndex() - 1;
    return index < 0 ? BufferCount() - 1 : index;
}

int FrameRing::Pin(bool first) {
    for (;;) {
        int index = first ? 0 : NewestIndex();
        readers[index].fetch_add(1, std::memory_order_seq_cst);
        if (writingSlot.load(std::memory_order_seq_cst) != index) return index;
        // The writer is filling this entry: step aside and take the newest one instead (or,
        // for entry 0, wait the moment the writer needs to finish it).
        Unpin(index);
        std::this_thread::yield();
    }
}

void FrameRing::Unpin(int index) {
    readers[index].fetch_sub(1, std::memory_order_seq_cst);
}

}  // namespace korvix::core
