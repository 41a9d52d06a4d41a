#include "core/FrameRing.h"

#include <cstring>
#include <new>
#include <thread>

namespace korvix::core {

FrameRing::FrameRing() {
    for (std::atomic<int> &count : readers) count.store(0, std::memory_order_relaxed);
}

void FrameRing::SetBufferCount(int count) {
    bufferCount = count > kMaxBuffers ? kMaxBuffers : (count < 1 ? 1 : count);
    writeIndex.store(0, std::memory_order_relaxed);
    readMark.store(bufferCount - 1, std::memory_order_relaxed);
}

bool FrameRing::Allocate(uint32_t size) {
    Free();
    bufferSize = size;
    if (size == 0) return false;
    for (int i = 0; i < bufferCount; ++i) {
        try {
            frameBuffers[i] = std::make_unique<uint8_t[]>(size);
        } catch (const std::bad_alloc &) {
            return false;
        }
    }
    return true;
}

void FrameRing::Free() {
    for (std::unique_ptr<uint8_t[]> &buffer : frameBuffers) buffer.reset();
    bufferSize = 0;
    ResetEntries();
}

void FrameRing::ResetEntries() {
    for (int i = 0; i < kMaxBuffers; ++i) {
        frameNumbers[i] = -1;
        frameTagA[i] = frameTagB[i] = frameTagC[i] = frameTagD[i] = 0xFFFF;
    }
}

bool FrameRing::HasBuffers() const {
    for (int i = 0; i < bufferCount; ++i) {
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
                        const FrameTags &tags) {
    int index = writeIndex.load(std::memory_order_relaxed);
    if (!frameBuffers[index] || bytes > bufferSize || !Claim(index)) return false;
    std::memcpy(frameBuffers[index].get(), frame, bytes);
    frameNumbers[index] = number;
    frameTagA[index] = tags.a;
    frameTagB[index] = tags.b;
    frameTagC[index] = tags.c;
    frameTagD[index] = tags.d;
    ReleaseClaim();
    int next = index + 1 >= bufferCount ? 0 : index + 1;
    writeIndex.store(next, std::memory_order_release);
    return true;
}

void FrameRing::StoreTags(const FrameTags &tags) {
    int index = writeIndex.load(std::memory_order_relaxed);
    if (!Claim(index)) return;
    frameTagA[index] = tags.a;
    frameTagB[index] = tags.b;
    frameTagC[index] = tags.c;
    frameTagD[index] = tags.d;
    ReleaseClaim();
}

bool FrameRing::StoreFirst(const uint8_t *frame, uint32_t bytes, int32_t number) {
    if (!frameBuffers[0] || bytes > bufferSize || !Claim(0)) return false;
    std::memcpy(frameBuffers[0].get(), frame, bytes);
    frameNumbers[0] = number;
    ReleaseClaim();
    return true;
}

int FrameRing::NewestIndex() const {
    int index = WriteIndex() - 1;
    return index < 0 ? bufferCount - 1 : index;
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
