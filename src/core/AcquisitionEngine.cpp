// The acquisition engine: transfer start and stop, the acquisition thread and the single
// capture without a thread.

#include <algorithm>

#include "controller/KorCy3Cam.h"
#include "core/KorvixU3T2Base.h"
#include "platform/Clock.h"
#include "sensors/SensorBase.h"

namespace korvix::core {
namespace {

constexpr int kMaxConsecutiveFailures = 5;
constexpr uint8_t kFpgaFrameCounterRegister = 0x08;
constexpr uint8_t kDataEndpoint = 0x81;
constexpr uint16_t kFirmwareWithPipeReset = 0x1100;
constexpr uint32_t kThreadEndPollMs = 5;
constexpr uint32_t kAbortSettleMs = 100;
constexpr uint32_t kCaptureDataTimeoutMs = 3000;
constexpr uint32_t kCaptureTimeLimitMs = 10000;
constexpr int kCaptureRetries = 10;

uint32_t HeaderWord(const uint8_t *header, size_t offset) {
    return static_cast<uint32_t>(header[offset]) |
           (static_cast<uint32_t>(header[offset + 1]) << 8) |
           (static_cast<uint32_t>(header[offset + 2]) << 16) |
           (static_cast<uint32_t>(header[offset + 3]) << 24);
}

FrameTags TagsOf(const uint8_t *header) {
    return {
        static_cast<int32_t>(HeaderWord(header, 28)), static_cast<int32_t>(HeaderWord(header, 32)),
        static_cast<int32_t>(HeaderWord(header, 40)), static_cast<int32_t>(HeaderWord(header, 44))};
}

int32_t FrameCounterOf(const uint8_t *header) {
    return static_cast<int32_t>(HeaderWord(header, 32));
}

controller::TransferRecord MakeRecord(uint8_t *destination, uint32_t capacity, int frameBytes) {
    controller::TransferRecord record{};
    record.destination = destination;
    record.capacity = capacity;
    record.auxLength = static_cast<uint32_t>(frameBytes);
    return record;
}

}  // namespace

void CKorvixU3T2Base::OpenFrameEvent() {
    if (!frameEventOpen.exchange(true, std::memory_order_acq_rel)) frameEvent.Reset();
}

void CKorvixU3T2Base::CloseFrameEvent() {
    if (frameEventOpen.exchange(false, std::memory_order_acq_rel)) frameEvent.Set();
}

void CKorvixU3T2Base::ReleaseDataPath() {
    running.store(0, std::memory_order_release);
    if (onDataPathEnding) onDataPathEnding();
    threadEndEvent.Set();
}

int CKorvixU3T2Base::SetDataTimeout(uint32_t ms) {
    dataTimeout.store(ms, std::memory_order_relaxed);
    return 1;
}

int CKorvixU3T2Base::SetTransferMode(int mode) {
    DeviceLock lock(deviceLock);
    if (!controller) return 0;
    if (mode != transferMode.load(std::memory_order_acquire)) {
        StopTransfer(0);
        OpenFrameEvent();
        // A triggered frame counts as new only once it has arrived.
        if (mode == 2) ring.SetWriteIndex(ring.ReadMark());
    }
    transferMode.store(mode, std::memory_order_release);
    return 1;
}

int CKorvixU3T2Base::StartTransfer(int mode) {
    DeviceLock lock(deviceLock);
    // Triggered frames come one transfer each: the next one continues the frame counter's
    // sequence. Any other start begins a new one, as frames the camera made while nobody
    // streamed are not lost.
    const bool newSequence = mode != 2 || transferMode.load(std::memory_order_acquire) != 2;
    if (newSequence) streamStatistics.ForgetFrameCounter();
    if (running.load(std::memory_order_acquire)) {
        // A data path user that is just ending gets a moment to end by itself; one still at
        // work is stopped. The end event is manual-reset, so this wait takes nothing away
        // from a later one.
        [[maybe_unused]] platform::TimerResolutionScope resolution;
        if (!threadEndEvent.Wait(kThreadEndPollMs)) StopTransfer(1);
    }
    OpenFrameEvent();
    if (!SetTransferMode(mode)) return 0;
    // A failure leaves the buffers absent; the thread then reports it through WaitFrame.
    if (geometryDirty.load(std::memory_order_acquire)) ApplyGeometry();

    // The previous thread has ended or been stopped; join it before the next one may run.
    threadHandle.Join();
    // Frames still in the ring from before are not new to a new sequence: its first wait
    // reports its own first frame. Left as they were, a ring never read since it was made
    // counts as holding a new frame before any has come, and the first frame that lands on
    // the stale read mark counts as none.
    if (newSequence) ring.SetReadMark(ring.WriteIndex());
    // A failure of the previous run must not answer the first WaitFrame of this one.
    transferFailed.store(0, std::memory_order_release);
    threadEndEvent.Reset();
    running.store(1, std::memory_order_release);
    if (!threadHandle.Start([this] { TransferLoop(); }, platform::ThreadPriority::TimeCritical)) {
        ReleaseDataPath();
        return 0;
    }
    return 1;
}

int CKorvixU3T2Base::StopTransfer(int abort) {
    DeviceLock lock(deviceLock);
    if (running.exchange(0, std::memory_order_acq_rel) && abort) {
        platform::SleepMs(kAbortSettleMs);
        if (controller) controller->AbortDataPipe();
    }
    // Whoever uses the data path (the thread, or CaptureOne on another caller's thread) sets
    // the event as its last act; it is manual-reset, so no other wait can have consumed it.
    threadEndEvent.WaitForever();
    threadHandle.Join();
    platform::SleepMs(1);
    CloseFrameEvent();
    FinishTransfer();
    platform::SleepMs(5);
    transferMode.store(0, std::memory_order_release);
    countedFrames.store(0, std::memory_order_release);
    frameRate.store(0.0f, std::memory_order_relaxed);
    return 1;
}

int CKorvixU3T2Base::FinishTransfer() {
    DeviceLock lock(deviceLock);
    if (!controller) return 0;
    uint16_t firmware = static_cast<uint16_t>(infoBlock[24] | (infoBlock[25] << 8));
    if (firmware >= kFirmwareWithPipeReset) controller->ResetPipe(kDataEndpoint);
    controller->StopStream();
    return 1;
}

int CKorvixU3T2Base::WaitFrame(uint32_t ms) {
    if (transferFailed.load(std::memory_order_acquire)) return 1;
    if (!frameEventOpen.load(std::memory_order_acquire) || !frameEvent.Wait(ms)) return 2;
    // The thread records a failure before it signals the event: a wake-up may be that news.
    if (transferFailed.load(std::memory_order_acquire)) return 1;
    return ring.HasNewFrame() ? 3 : 2;
}

bool CKorvixU3T2Base::RecoverFromFailedRead(int &retries) {
    controller->CloseDataHandle();
    if (++retries >= kMaxConsecutiveFailures) return true;
    if (sensor) {
        if (sensor->RestartPending()) streamStatistics.RestartPulsed(1);
        sensor->PulseRestart();
    }
    controller->OpenDataHandle();
    return false;
}

int CKorvixU3T2Base::CountedHeaderRead(controller::TransferRecord &record) {
    record.headersLost = 0;
    record.restartPulses = 0;
    const int ok = controller->ReadFrameHeader(&record);
    // A failed read is at least one failure, whatever the controller could tell of it.
    streamStatistics.TransferFailed(ok ? record.headersLost : std::max(1u, record.headersLost));
    streamStatistics.RestartPulsed(record.restartPulses);
    if (ok) streamStatistics.HeaderReceived(static_cast<uint32_t>(FrameCounterOf(record.header)));
    return ok;
}

void CKorvixU3T2Base::PublishFrame(const uint8_t *header, uint32_t startTick, uint64_t startUs) {
    const uint64_t elapsedUs = platform::MicrosecondCount() - startUs;
    uint32_t now = platform::TickCount();
    uint32_t elapsedMs = now - startTick;
    if (elapsedMs > 0) {
        double megabits =
            static_cast<double>(static_cast<uint32_t>(frameBytes.load()) >> 10) * 0.0078125;
        transferRate.store(megabits / (elapsedMs / 1000.0), std::memory_order_relaxed);
    }
    if (std::optional<float> rate = frameRateMeter.AddFrame(now)) {
        frameRate.store(*rate, std::memory_order_relaxed);
    }
    // A reader that pins the entry at writeIndex (it has fallen a whole ring behind) makes
    // the ring drop this frame instead of overwriting what the reader copies.
    if (ring.Publish(transferBuffer.get(), static_cast<uint32_t>(frameBytes.load()),
                     lastFrameCounter.load(std::memory_order_relaxed), TagsOf(header),
                     frameLayout)) {
        streamStatistics.FrameDelivered(static_cast<uint32_t>(frameBytes.load()), elapsedUs);
        frameEvent.Set();
    } else {
        streamStatistics.FrameDropped();
    }
}

int CKorvixU3T2Base::TransferLoop() {
    if (!controller || !transferBuffer) {
        // Nothing to read into (the buffers could not be had): report the failure and end,
        // so that neither a waiting session nor StopTransfer waits for frames that never come.
        transferFailed.store(1, std::memory_order_release);
        frameEvent.Set();
        ReleaseDataPath();
        return 0;
    }
    controller::TransferRecord record =
        MakeRecord(transferBuffer.get(), transferBufferSize, frameBytes.load());
    transferFailed.store(0, std::memory_order_release);
    frameRateMeter.Restart(platform::TickCount());

    // A data handle that cannot be opened (the camera left as the transfer started) is a
    // failure like reads that keep failing: without it the thread would end unnoticed and the
    // session would wait for frames that never come instead of learning the camera is gone.
    bool gaveUp = false;
    if (!controller->OpenDataHandle()) {
        gaveUp = running.load(std::memory_order_acquire) != 0;
    } else {
        int retries = 0;
        while (running.load(std::memory_order_acquire)) {
            uint32_t timeout = DataTimeoutInForce();
            if (triggerMode.load(std::memory_order_relaxed) == 1) {
                // Externally triggered: wait until the FPGA counts a new frame.
                uint8_t counter = 0;
                if (!controller->ReadFpgaRegister(kFpgaFrameCounterRegister, &counter) ||
                    counter == lastFrameCounter.load(std::memory_order_relaxed)) {
                    platform::SleepMs(1);
                    continue;
                }
                lastFrameCounter.store(counter, std::memory_order_release);
            }
            if (!CountedHeaderRead(record)) {
                if ((gaveUp = RecoverFromFailedRead(retries))) break;
                continue;
            }
            int mode = transferMode.load(std::memory_order_acquire);
            if (mode == 3) {
                ring.StoreTags(TagsOf(record.header));
                lastFrameCounter.store(FrameCounterOf(record.header), std::memory_order_release);
                break;
            }
            if (mode != 2) {
                lastFrameCounter.store(FrameCounterOf(record.header), std::memory_order_release);
            }
            uint32_t startTick = platform::TickCount();
            uint64_t startUs = platform::MicrosecondCount();
            if (!controller->ReadFrameData(&record, timeout)) {
                streamStatistics.TransferFailed(1);
                if ((gaveUp = RecoverFromFailedRead(retries))) break;
                continue;
            }
            transferFailed.store(0, std::memory_order_release);
            retries = 0;
            PublishFrame(record.header, startTick, startUs);
            if (mode == 1) break;
            if (mode == 2) {
                countedFrames.fetch_add(1, std::memory_order_acq_rel);
                break;
            }
        }
    }
    if (gaveUp) transferFailed.store(1, std::memory_order_release);
    controller->CloseDataHandle();
    if (transferFailed.load(std::memory_order_acquire)) frameEvent.Set();
    ReleaseDataPath();
    return 1;
}

int CKorvixU3T2Base::CaptureOne() {
    controller::CKorCy3Cam *camera = nullptr;
    controller::TransferRecord record{};
    FrameLayout layout;
    {
        DeviceLock lock(deviceLock);
        if (!controller) return 2;
        // One writer on the ring and one user of the data handle: a transfer ends first.
        if (running.load(std::memory_order_acquire)) StopTransfer(1);
        if (geometryDirty.load(std::memory_order_acquire)) ApplyGeometry();
        if (!transferBuffer) return 2;
        // Claim the data path. Whatever would replace the buffers or the controller (a
        // geometry change, Open, Close, another capture) stops the data path first and so
        // waits for this capture, which runs without the device lock.
        camera = controller.get();
        record = MakeRecord(transferBuffer.get(), transferBufferSize, frameBytes.load());
        layout = frameLayout;
        transferFailed.store(0, std::memory_order_release);
        threadEndEvent.Reset();
        running.store(1, std::memory_order_release);
    }

    uint32_t start = platform::TickCount();
    if (!camera->OpenDataHandle()) {
        // No frame can come: say so rather than leave a stale entry 0 looking captured.
        transferFailed.store(1, std::memory_order_release);
    } else {
        for (int retries = 0;; ++retries) {
            if (camera->ReadFrameHeader(&record) &&
                camera->ReadFrameData(&record, kCaptureDataTimeoutMs)) {
                ring.StoreFirst(record.destination, layout.Bytes(),
                                static_cast<int32_t>(FrameCounterOf(record.header) & 0xFF),
                                layout);
                break;
            }
            // A stop ends the retries as well as the time and attempt limits.
            if (!running.load(std::memory_order_acquire) ||
                platform::TickCount() - start >= kCaptureTimeLimitMs ||
                retries >= kCaptureRetries) {
                transferFailed.store(1, std::memory_order_release);
                break;
            }
        }
    }
    camera->CloseDataHandle();
    ReleaseDataPath();
    return 0;
}

}  // namespace korvix::core
