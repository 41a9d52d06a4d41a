#include "platform/usb/win32/Win32DeviceFile.h"

#include <windows.h>

#include <condition_variable>
#include <list>
#include <mutex>

namespace korvix::platform::usb::win32 {
namespace {

// The error a failed call left behind; a call that failed without saying why still failed.
uint32_t LastErrorOfFailedCall() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? static_cast<uint32_t>(error) : uint32_t{kIoGenFailure};
}

class Win32DeviceFile;

// One overlapped request the driver has accepted and not yet completed. Its OVERLAPPED must
// stay at the same address until the driver completes it, so requests are kept by pointer.
struct PendingRequest {
    OVERLAPPED win32{};
    HANDLE wait = nullptr;  // the thread-pool wait on win32.hEvent
    Overlapped *caller = nullptr;
    Win32DeviceFile *file = nullptr;
};

class Win32DeviceFile final : public DeviceFile {
  public:
    Win32DeviceFile(HANDLE handle, bool overlapped) : handle_(handle), overlapped_(overlapped) {}

    ~Win32DeviceFile() override {
        // Cancels what this handle still has in flight, from whichever thread submitted it,
        // and waits until each cancelled request has been completed to its caller.
        std::unique_lock lock(mutex_);
        if (!pending_.empty()) CancelIoEx(handle_, nullptr);
        idle_.wait(lock, [this] { return pending_.empty(); });
        lock.unlock();
        CloseHandle(handle_);
    }

    Win32DeviceFile(const Win32DeviceFile &) = delete;
    Win32DeviceFile &operator=(const Win32DeviceFile &) = delete;

    uint32_t IoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                       uint32_t *bytesReturned) override {
        DWORD returned = 0;
        uint32_t error = kIoSuccess;
        if (overlapped_) {
            error = WaitForRequest(code, in, inSize, out, outSize, &returned);
        } else if (!DeviceIoControl(handle_, code, in, inSize, out, outSize, &returned, nullptr)) {
            error = LastErrorOfFailedCall();
        }
        if (bytesReturned != nullptr) *bytesReturned = error == kIoSuccess ? returned : 0;
        return error;
    }

    uint32_t SubmitIoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                             uint32_t *bytesReturned, Overlapped &overlapped) override {
        if (!overlapped_) return kIoInvalidHandle;
        auto request = std::make_unique<PendingRequest>();
        request->caller = &overlapped;
        request->file = this;
        request->win32.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (request->win32.hEvent == nullptr) return LastErrorOfFailedCall();

        overlapped.MarkPending();
        DWORD returned = 0;
        if (DeviceIoControl(handle_, code, in, inSize, out, outSize, &returned, &request->win32)) {
            // Completed at once: the result is there to collect.
            const uint32_t error = CollectResult(*request, &returned);
            CloseHandle(request->win32.hEvent);
            if (error != kIoSuccess) {
                overlapped.ClearPending();
                return error;
            }
            overlapped.Complete(kIoSuccess, returned);
            if (bytesReturned != nullptr) *bytesReturned = returned;
            return kIoSuccess;
        }
        const uint32_t submitError = LastErrorOfFailedCall();
        if (submitError != ERROR_IO_PENDING) {
            CloseHandle(request->win32.hEvent);
            overlapped.ClearPending();
            return submitError;
        }
        return WatchPending(std::move(request));
    }

  private:
    // A request on a handle opened overlapped, waited for: such a handle takes an OVERLAPPED
    // even for a call that waits.
    uint32_t WaitForRequest(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                            DWORD *returned) {
        OVERLAPPED request{};
        request.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (request.hEvent == nullptr) return LastErrorOfFailedCall();
        BOOL done = DeviceIoControl(handle_, code, in, inSize, out, outSize, returned, &request);
        if (!done && GetLastError() == ERROR_IO_PENDING) {
            done = ::GetOverlappedResult(handle_, &request, returned, TRUE);
        }
        const uint32_t error = done ? kIoSuccess : LastErrorOfFailedCall();
        CloseHandle(request.hEvent);
        return error;
    }

    // The outcome of a request that is no longer pending.
    uint32_t CollectResult(PendingRequest &request, DWORD *returned) {
        *returned = 0;
        if (::GetOverlappedResult(handle_, &request.win32, returned, FALSE)) return kIoSuccess;
        *returned = 0;
        return LastErrorOfFailedCall();
    }

    // Hands an accepted request to a thread-pool wait on its event, which completes it to the
    // caller. Should the wait not be registered, the request is cancelled and drained here, so
    // the caller's buffers are free when the failure is reported.
    uint32_t WatchPending(std::unique_ptr<PendingRequest> request) {
        // The callback takes the lock first, so it finds the request listed with its wait.
        std::lock_guard lock(mutex_);
        PendingRequest *watched = request.get();
        if (!RegisterWaitForSingleObject(&watched->wait, watched->win32.hEvent, &OnSignalled,
                                         watched, INFINITE, WT_EXECUTEONLYONCE)) {
            const uint32_t error = LastErrorOfFailedCall();
            CancelIoEx(handle_, &watched->win32);
            DWORD ignored = 0;
            ::GetOverlappedResult(handle_, &watched->win32, &ignored, TRUE);
            CloseHandle(watched->win32.hEvent);
            watched->caller->ClearPending();
            return error;
        }
        pending_.push_back(std::move(request));
        return kIoPending;
    }

    // Thread pool: the request's event is signalled, so the driver has completed it.
    static void CALLBACK OnSignalled(void *context, BOOLEAN /*timedOut*/) {
        auto *request = static_cast<PendingRequest *>(context);
        Win32DeviceFile *file = request->file;
        std::lock_guard lock(file->mutex_);
        DWORD returned = 0;
        const uint32_t error = file->CollectResult(*request, &returned);
        // Allowed inside the callback when not waiting for it: the pool drops the wait once
        // this callback has returned.
        UnregisterWaitEx(request->wait, nullptr);
        CloseHandle(request->win32.hEvent);
        // Once the caller sees its event it may release its buffers and its Overlapped.
        request->caller->Complete(error, returned);
        file->pending_.remove_if([request](const auto &p) { return p.get() == request; });
        file->idle_.notify_all();
    }

    const HANDLE handle_;
    const bool overlapped_;
    std::mutex mutex_;              // guards pending_
    std::condition_variable idle_;  // notified whenever a request leaves pending_
    std::list<std::unique_ptr<PendingRequest>> pending_;
};

}  // namespace

std::unique_ptr<DeviceFile> AdoptFileHandle(void *handle, bool overlapped) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    return std::make_unique<Win32DeviceFile>(static_cast<HANDLE>(handle), overlapped);
}

}  // namespace korvix::platform::usb::win32
