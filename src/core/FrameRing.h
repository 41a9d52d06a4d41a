#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace korvix::core {

// The four words of a frame header that every ring entry keeps (offsets 28, 32, 40, 44).
struct FrameTags {
    int32_t a = 0xFFFF;
    int32_t b = 0xFFFF;
    int32_t c = 0xFFFF;
    int32_t d = 0xFFFF;
};

// What a reader gets with the pixels of a ring entry.
struct FrameEntryInfo {
    int32_t number = -1;
    FrameTags tags;
};

// The frame ring of a device core: bufferCount buffers that the acquisition thread fills in
// turn, writeIndex (the entry the next completed frame goes to) and readMark (the entry the
// session took last).
//
// Threads: one writer (the acquisition thread, or CaptureOne while no thread runs) and any
// number of readers (session threads) meet without a lock. The writer fills the entry at
// writeIndex, then publishes it by advancing writeIndex with release order; a reader takes
// writeIndex with acquire order and copies the newest entry, writeIndex - 1. So that a
// reader that falls a whole ring behind can never see an entry being overwritten, a reader
// pins its entry while it copies, and the writer claims its entry before it writes; the
// pin and the claim are sequentially consistent, so at least one side sees the other: a
// writer that finds its entry pinned drops that frame (the camera's next frame comes soon),
// a reader that finds its entry claimed moves on to the newest entry.
//
// Allocate, Free and SetBufferCount run only while no writer runs and no reader copies.
class FrameRing {
  public:
    static constexpr int kMaxBuffers = 8;

    FrameRing();

    // 8 for product 0x32D0, else 4; readMark becomes count - 1 and writeIndex 0.
    void SetBufferCount(int count);
    int BufferCount() const { return bufferCount; }

    // Frees every buffer and allocates bufferCount buffers of bufferSize bytes (zeroed);
    // frame numbers become -1 and tags 0xFFFF. False when memory runs out (some buffers
    // are then absent).
    bool Allocate(uint32_t bufferSize);
    // Frees every buffer; frame numbers -1, tags 0xFFFF.
    void Free();
    bool HasBuffers() const;
    uint32_t BufferSize() const { return bufferSize; }

    // ---- Writer ----
    // Copies bytes of a completed frame into the entry at writeIndex with its number and
    // tags, then advances writeIndex. False when the entry is pinned by a reader or absent
    // (the frame is dropped, writeIndex stays).
    bool Publish(const uint8_t *frame, uint32_t bytes, int32_t number, const FrameTags &tags);
    // Stores tags into the entry at writeIndex without publishing a frame (header-only mode).
    void StoreTags(const FrameTags &tags);
    // Copies a frame into entry 0 and sets its number, tags unchanged (single capture without
    // the thread). False when entry 0 is pinned or absent.
    bool StoreFirst(const uint8_t *frame, uint32_t bytes, int32_t number);

    // ---- Readers ----
    // Index of the newest entry: writeIndex - 1, or bufferCount - 1 when writeIndex is 0.
    int NewestIndex() const;
    // Runs read(pixels, info) on the newest entry (or entry 0 when first), pinned against the
    // writer for the length of the call, and returns the entry's index. pixels is null when
    // the entry has no buffer.
    template <typename Reader>
    int Read(bool first, Reader &&read) {
        int index = Pin(first);
        FrameEntryInfo info{
            frameNumbers[index],
            {frameTagA[index], frameTagB[index], frameTagC[index], frameTagD[index]}};
        read(static_cast<const uint8_t *>(frameBuffers[index].get()), info);
        Unpin(index);
        return index;
    }
    // Marks the entry at index as taken: readMark becomes the writeIndex that followed it.
    void MarkTaken(int index) { SetReadMark(index + 1 >= bufferCount ? 0 : index + 1); }

    int WriteIndex() const { return writeIndex.load(std::memory_order_acquire); }
    void SetWriteIndex(int index) { writeIndex.store(index, std::memory_order_release); }
    int ReadMark() const { return readMark.load(std::memory_order_acquire); }
    void SetReadMark(int index) { readMark.store(index, std::memory_order_release); }
    // True when a frame newer than the one the session took last is in the ring.
    bool HasNewFrame() const { return WriteIndex() != ReadMark(); }

  private:
    int Pin(bool first);
    void Unpin(int index);
    bool Claim(int index);
    void ReleaseClaim();
    void ResetEntries();

    int bufferCount = 4;
    uint32_t bufferSize = 0;
    std::array<std::unique_ptr<uint8_t[]>, kMaxBuffers> frameBuffers;
    // Written by the writer inside a claim, read by readers inside a pin.
    std::array<int32_t, kMaxBuffers> frameNumbers{};
    std::array<int32_t, kMaxBuffers> frameTagA{};
    std::array<int32_t, kMaxBuffers> frameTagB{};
    std::array<int32_t, kMaxBuffers> frameTagC{};
    std::array<int32_t, kMaxBuffers> frameTagD{};

    std::atomic<int> writeIndex{0};
    std::atomic<int> readMark{3};
    // Entry the writer is filling, or -1.
    std::atomic<int> writingSlot{-1};
    // Readers copying each entry now.
    std::array<std::atomic<int>, kMaxBuffers> readers{};
};

}  // namespace korvix::core
