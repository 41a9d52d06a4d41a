#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <shared_mutex>

namespace korvix::core {

// The four words of a frame header that every ring entry keeps (offsets 28, 32, 40, 44).
struct FrameTags {
    int32_t a = 0xFFFF;
    int32_t b = 0xFFFF;
    int32_t c = 0xFFFF;
    int32_t d = 0xFFFF;
};

// The shape of a frame as it was captured: width x height samples of bytesPerSample bytes
// (1, or 2 little-endian), rows without gaps. All zero for an entry that holds no frame.
struct FrameLayout {
    int width = 0;
    int height = 0;
    int bytesPerSample = 0;

    // width x height x bytesPerSample, or 0 when a field is not positive or the product
    // does not fit in 32 bits.
    uint32_t Bytes() const;
};

// What a reader gets with the pixels of a ring entry. bytes is the size of the frame the
// entry holds (0 before the first frame); layout its shape as the writer gave it.
struct FrameEntryInfo {
    int32_t number = -1;
    FrameTags tags;
    uint32_t bytes = 0;
    FrameLayout layout;
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
// The buffers themselves are guarded by storageLock: readers and the writer hold it shared
// for the length of one access, Allocate, Free and SetBufferCount hold it exclusively, so
// the buffers can never be replaced under a reader's copy (the replacement waits for it).
class FrameRing {
  public:
    static constexpr int kMaxBuffers = 8;

    FrameRing();

    // 8 for product 0x32D0, else 4; readMark becomes count - 1 and writeIndex 0.
    void SetBufferCount(int count);
    int BufferCount() const { return bufferCount.load(std::memory_order_acquire); }

    // Returns a zeroed buffer of the given size, or null when memory runs out.
    using BufferAllocator = std::unique_ptr<uint8_t[]> (*)(uint32_t bytes, void *context);
    static std::unique_ptr<uint8_t[]> AllocateZeroed(uint32_t bytes, void *context);

    // Frees every buffer and allocates bufferCount buffers of bufferSize bytes (zeroed)
    // through allocate; frame numbers become -1, tags 0xFFFF, sizes and layouts 0. False
    // when memory runs out (every buffer is then absent).
    bool Allocate(uint32_t bufferSize, BufferAllocator allocate = AllocateZeroed,
                  void *context = nullptr);
    // Frees every buffer; frame numbers -1, tags 0xFFFF.
    void Free();
    bool HasBuffers() const;

    // ---- Writer ----
    // Copies bytes of a completed frame into the entry at writeIndex with its number, tags
    // and layout, then advances writeIndex. False when the entry is pinned by a reader or
    // absent, or bytes exceed the buffer (the frame is dropped, writeIndex stays).
    bool Publish(const uint8_t *frame, uint32_t bytes, int32_t number, const FrameTags &tags,
                 const FrameLayout &layout = {});
    // Stores tags into the entry at writeIndex without publishing a frame (header-only mode).
    void StoreTags(const FrameTags &tags);
    // Copies a frame into entry 0 and sets its number and layout, tags unchanged (single
    // capture without the thread). False when entry 0 is pinned or absent.
    bool StoreFirst(const uint8_t *frame, uint32_t bytes, int32_t number,
                    const FrameLayout &layout = {});

    // ---- Readers ----
    // Index of the newest entry: writeIndex - 1, or bufferCount - 1 when writeIndex is 0.
    int NewestIndex() const;
    // Runs read(pixels, info) on the newest entry (or entry 0 when first), pinned against the
    // writer and with the storage held shared for the length of the call, and returns the
    // entry's index. pixels is null when the entry has no buffer.
    template <typename Reader>
    int Read(bool first, Reader &&read) {
        std::shared_lock storage(storageLock);
        int index = Pin(first);
        FrameEntryInfo info{
            frameNumbers[index],
            {frameTagA[index], frameTagB[index], frameTagC[index], frameTagD[index]},
            frameSizes[index],
            frameLayouts[index]};
        read(static_cast<const uint8_t *>(frameBuffers[index].get()), info);
        Unpin(index);
        return index;
    }
    // Marks the entry at index as taken: readMark becomes the writeIndex that followed it.
    void MarkTaken(int index) { SetReadMark(index + 1 >= BufferCount() ? 0 : index + 1); }

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
    void FreeBuffers();

    // Guards the buffers against replacement (see the class comment).
    mutable std::shared_mutex storageLock;
    std::atomic<int> bufferCount{4};
    uint32_t bufferSize = 0;
    std::array<std::unique_ptr<uint8_t[]>, kMaxBuffers> frameBuffers;
    // Written by the writer inside a claim, read by readers inside a pin.
    std::array<int32_t, kMaxBuffers> frameNumbers{};
    std::array<int32_t, kMaxBuffers> frameTagA{};
    std::array<int32_t, kMaxBuffers> frameTagB{};
    std::array<int32_t, kMaxBuffers> frameTagC{};
    std::array<int32_t, kMaxBuffers> frameTagD{};
    std::array<uint32_t, kMaxBuffers> frameSizes{};
    std::array<FrameLayout, kMaxBuffers> frameLayouts{};

    std::atomic<int> writeIndex{0};
    std::atomic<int> readMark{3};
    // Entry the writer is filling, or -1.
    std::atomic<int> writingSlot{-1};
    // Readers copying each entry now.
    std::array<std::atomic<int>, kMaxBuffers> readers{};
};

}  // namespace korvix::core
