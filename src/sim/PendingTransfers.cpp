#include "sim/PendingTransfers.h"

#include <algorithm>
#include <vector>

#include "platform/Clock.h"

namespace korvix::sim {

namespace usb = platform::usb;

namespace {
bool ClockIsManual() {
    return dynamic_cast<platform::ManualClock *>(&platform::CurrentClock()) != nullptr;
}
}  // namespace

PendingTransfers::~PendingTransfers() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.Join();
    for (auto &[raw, entry] : listening_) entry.first->RemoveChangeListener(entry.second);
    for (Transfer &transfer : transfers_) Finish(transfer, usb::kIoOperationAborted, 0);
}

PendingTransfers::Attempt PendingTransfers::TryRead(SimulatedCamera &camera,
                                                    uint32_t plugGeneration,
                                                    const usb::DecodedRequest &request) {
    Attempt attempt;
    if (!camera.Plugged() || camera.PlugGeneration() != plugGeneration) {
        attempt.error = usb::kIoDeviceNotConnected;
        return attempt;
    }
    BulkReadResult result =
        camera.BulkRead(request.endpoint, std::span<uint8_t>(request.data, request.dataLength),
                        platform::CurrentClock().NowMs());
    if (result.ready) {
        attempt.error = usb::kIoSuccess;
        attempt.bytes = static_cast<uint32_t>(result.bytes);
    }
    attempt.retryAtMs = result.retryAtMs;
    return attempt;
}

void PendingTransfers::Finish(Transfer &transfer, uint32_t error, uint32_t bytes) {
    uint32_t reported = 0;
    usb::CompleteRequest(transfer.request, error, bytes, &reported);
    transfer.overlapped->Complete(error, reported);
}

uint32_t PendingTransfers::Submit(std::shared_ptr<SimulatedCamera> camera, uint32_t plugGeneration,
                                  const void *file, const usb::DecodedRequest &request,
                                  usb::Overlapped &overlapped, uint32_t *bytesReturned) {
    Attempt attempt = TryRead(*camera, plugGeneration, request);
    // On a manual clock nobody else moves time: let the due frame arrive now.
    for (int i = 0; i < 4 && !attempt.error && attempt.retryAtMs && ClockIsManual(); ++i) {
        platform::Clock &clock = platform::CurrentClock();
        const uint64_t now = clock.NowMs();
        if (*attempt.retryAtMs > now)
            clock.SleepMs(static_cast<uint32_t>(*attempt.retryAtMs - now));
        attempt = TryRead(*camera, plugGeneration, request);
    }
    if (attempt.error) {
        uint32_t reported = 0;
        const uint32_t error =
            usb::CompleteRequest(request, *attempt.error, attempt.bytes, &reported);
        if (error != usb::kIoSuccess) return error;
        overlapped.Complete(error, reported);
        if (bytesReturned != nullptr) *bytesReturned = reported;
        return error;
    }
    overlapped.MarkPending();
    {
        std::lock_guard lock(mutex_);
        if (!worker_.Joinable() && !worker_.Start([this] { Run(); })) {
            overlapped.ClearPending();
            return usb::kIoGenFailure;
        }
        transfers_.push_back({camera, plugGeneration, file, request, &overlapped});
        poked_ = true;
    }
    ListenTo(camera);
    changed_.notify_all();
    return usb::kIoPending;
}

void PendingTransfers::ListenTo(const std::shared_ptr<SimulatedCamera> &camera) {
    {
        std::lock_guard lock(mutex_);
        if (listening_.count(camera.get()) != 0) return;
        listening_[camera.get()] = {camera, 0};
    }
    // Registered outside mutex_: the camera's lock is taken here, and its listener takes
    // mutex_.
    const uint64_t id = camera->AddChangeListener([this] { Poke(); });
    std::lock_guard lock(mutex_);
    listening_[camera.get()].second = id;
}

void PendingTransfers::Poke() {
    {
        std::lock_guard lock(mutex_);
        poked_ = true;
    }
    changed_.notify_all();
}

template <typename Match>
void PendingTransfers::AbortMatching(Match match) {
    std::unique_lock lock(mutex_);
    for (;;) {
        auto it = std::find_if(transfers_.begin(), transfers_.end(), match);
        if (it == transfers_.end()) return;
        if (it->attempting) {
            // The caller may free the buffer once the transfer completes: let the attempt
            // that is writing into it finish, then look again (it may have completed).
            attempted_.wait(lock);
            continue;
        }
        Finish(*it, usb::kIoOperationAborted, 0);
        transfers_.erase(it);
    }
}

void PendingTransfers::AbortEndpoint(const SimulatedCamera *camera, uint8_t endpoint) {
    AbortMatching([&](const Transfer &t) {
        return t.camera.get() == camera && t.request.endpoint == endpoint;
    });
}

void PendingTransfers::AbortFile(const void *file) {
    AbortMatching([&](const Transfer &t) { return t.file == file; });
}

void PendingTransfers::Run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        poked_ = false;
        std::vector<Transfer *> batch;
        for (Transfer &transfer : transfers_) {
            transfer.attempting = true;
            batch.push_back(&transfer);
        }
        lock.unlock();
        std::vector<Attempt> attempts;
        for (Transfer *transfer : batch) {
            attempts.push_back(
                TryRead(*transfer->camera, transfer->plugGeneration, transfer->request));
        }
        lock.lock();
        std::optional<uint64_t> nextDue;
        for (size_t i = 0; i < batch.size(); ++i) {
            Transfer *transfer = batch[i];
            transfer->attempting = false;
            if (attempts[i].error) {
                Finish(*transfer, *attempts[i].error, attempts[i].bytes);
                transfers_.remove_if([&](const Transfer &t) { return &t == transfer; });
            } else if (attempts[i].retryAtMs) {
                nextDue =
                    nextDue ? std::min(*nextDue, *attempts[i].retryAtMs) : *attempts[i].retryAtMs;
            }
        }
        attempted_.notify_all();
        if (stop_ || poked_) continue;

        platform::Clock &clock = platform::CurrentClock();
        if (!nextDue) {
            changed_.wait(lock, [this] { return poked_ || stop_; });
        } else if (const uint64_t now = clock.NowMs(); *nextDue > now) {
            const auto wait = static_cast<uint32_t>(*nextDue - now);
            if (ClockIsManual()) {
                lock.unlock();
                clock.SleepMs(wait);
                lock.lock();
            } else {
                clock.WaitFor(lock, changed_, wait, [this] { return poked_ || stop_; });
            }
        }
    }
}

}  // namespace korvix::sim
