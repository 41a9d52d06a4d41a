#include "platform/usb/libusb/LibusbDriverPort.h"

#include <libusb.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <list>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Event.h"
#include "platform/usb/DriverRecords.h"
#include "platform/usb/libusb/LibusbTranslation.h"

namespace korvix::platform::usb::libusb {
namespace {

constexpr int kCameraInterface = 0;
constexpr int kMaxPortDepth = 7;  // USB 3 hub chains are at most 7 deep

// The libusb context and the thread that runs its event loop, which completes the
// asynchronous transfers of every device of this port.
class Context {
  public:
    static std::shared_ptr<Context> Create() {
        libusb_context *raw = nullptr;
        if (libusb_init(&raw) != 0) return nullptr;
        return std::shared_ptr<Context>(new Context(raw));
    }
    ~Context() {
        stop_ = true;
        libusb_interrupt_event_handler(context_);
        events_.join();
        libusb_exit(context_);
    }
    Context(const Context &) = delete;
    Context &operator=(const Context &) = delete;

    libusb_context *Get() const { return context_; }

    // Keeps a notifier alive as long as the event thread may still call a hot-plug callback
    // that posts to it: a callback deregistered by libusb can still be running.
    void KeepUntilStopped(std::shared_ptr<DeviceChangeNotifier> notifier) {
        std::lock_guard lock(keptLock_);
        kept_.push_back(std::move(notifier));
    }

  private:
    explicit Context(libusb_context *context) : context_(context) {
        events_ = std::thread([this] {
            while (!stop_) {
                timeval tick{0, 100000};
                libusb_handle_events_timeout_completed(context_, &tick, nullptr);
            }
        });
    }

    libusb_context *context_;
    std::atomic<bool> stop_{false};
    std::thread events_;
    std::mutex keptLock_;  // guards kept_
    std::vector<std::shared_ptr<DeviceChangeNotifier>> kept_;
};

class SharedDevice;

// One asynchronous control or bulk transfer in flight.
struct PendingTransfer {
    libusb_transfer *transfer = nullptr;
    DecodedRequest request;
    Overlapped *overlapped = nullptr;
    SharedDevice *device = nullptr;
    const void *owner = nullptr;        // the DeviceFile that submitted it
    std::vector<uint8_t> controlStage;  // control: the setup packet, then the data stage
};

// One open libusb handle, shared by every DeviceFile on the same device, so that aborting a
// pipe through one file cancels the transfers submitted through another (as the driver
// does) and the camera interface is claimed only once.
class SharedDevice {
  public:
    SharedDevice(std::shared_ptr<Context> context, libusb_device_handle *handle)
        : context_(std::move(context)), handle_(handle) {}
    ~SharedDevice() {
        if (claimed_) libusb_release_interface(handle_, kCameraInterface);
        libusb_close(handle_);
    }
    SharedDevice(const SharedDevice &) = delete;
    SharedDevice &operator=(const SharedDevice &) = delete;

    libusb_device_handle *Handle() const { return handle_; }

    uint32_t EnsureClaimed() {
        std::lock_guard lock(mutex_);
        if (claimed_) return kIoSuccess;
        int result = libusb_claim_interface(handle_, kCameraInterface);
        if (result != 0) return LibusbErrorToIoError(result);
        claimed_ = true;
        return kIoSuccess;
    }

    // Submits a control or bulk transfer; on kIoPending the callback completes `overlapped`
    // later. Control transfers go the same way as bulk ones (not through libusb's
    // synchronous call), so a file's close and its aborts meet every transfer alike.
    uint32_t SubmitTransfer(const DecodedRequest &request, Overlapped &overlapped,
                            const void *owner) {
        const bool control = request.kind == RequestKind::ControlTransfer;
        if (!control) {
            if (uint32_t error = EnsureClaimed(); error != kIoSuccess) return error;
        }
        libusb_transfer *transfer = libusb_alloc_transfer(0);
        if (transfer == nullptr) return kIoGenFailure;
        auto pending = std::make_unique<PendingTransfer>();
        pending->transfer = transfer;
        pending->request = request;
        pending->overlapped = &overlapped;
        pending->device = this;
        pending->owner = owner;
        if (control) {
            const SetupPacket &setup = request.setup;
            pending->controlStage.resize(LIBUSB_CONTROL_SETUP_SIZE + setup.length);
            uint8_t *stage = pending->controlStage.data();
            libusb_fill_control_setup(stage, setup.requestType, setup.request, setup.value,
                                      setup.index, setup.length);
            if (!setup.IsDeviceToHost()) {
                std::copy_n(request.data, setup.length, stage + LIBUSB_CONTROL_SETUP_SIZE);
            }
            libusb_fill_control_transfer(transfer, handle_, stage, &OnTransferDone, pending.get(),
                                         request.timeoutMs);
        } else {
            libusb_fill_bulk_transfer(transfer, handle_, request.endpoint, request.data,
                                      static_cast<int>(request.dataLength), &OnTransferDone,
                                      pending.get(), request.timeoutMs);
        }
        std::lock_guard lock(mutex_);
        overlapped.MarkPending();
        int result = libusb_submit_transfer(transfer);
        if (result != 0) {
            overlapped.ClearPending();
            libusb_free_transfer(transfer);
            return LibusbErrorToIoError(result);
        }
        pending_.push_back(std::move(pending));
        return kIoPending;
    }

    // Cancels the pending transfers that match and waits until their callbacks have run
    // (so their completion events are signalled before this returns).
    template <typename Match>
    void CancelAndWait(Match match) {
        std::unique_lock lock(mutex_);
        for (auto &pending : pending_) {
            if (match(*pending)) libusb_cancel_transfer(pending->transfer);
        }
        idle_.wait(lock, [&] {
            return std::none_of(pending_.begin(), pending_.end(),
                                [&](const auto &pending) { return match(*pending); });
        });
    }

  private:
    static void LIBUSB_CALL OnTransferDone(libusb_transfer *transfer) {
        auto *pending = static_cast<PendingTransfer *>(transfer->user_data);
        uint32_t error = TransferStatusToIoError(transfer->status);
        if (error == kIoSuccess && !pending->controlStage.empty() &&
            pending->request.setup.IsDeviceToHost()) {
            std::copy_n(libusb_control_transfer_get_data(transfer), transfer->actual_length,
                        pending->request.data);
        }
        uint32_t bytes = 0;
        CompleteRequest(pending->request, error, static_cast<uint32_t>(transfer->actual_length),
                        &bytes);
        pending->overlapped->Complete(error, bytes);
        // Freed, dropped from the list and signalled under the lock: CancelAndWait cancels
        // only the transfers it finds in the list under this lock, so it never cancels a
        // freed one, and once it sees the list without this one it may let the device go
        // at once, so nothing touches the device afterwards.
        SharedDevice *device = pending->device;
        std::lock_guard lock(device->mutex_);
        libusb_free_transfer(transfer);
        device->pending_.remove_if([&](const auto &p) { return p.get() == pending; });
        device->idle_.notify_all();
    }

    std::shared_ptr<Context> context_;  // outlives the handle
    libusb_device_handle *handle_;
    std::mutex mutex_;              // guards claimed_ and pending_
    std::condition_variable idle_;  // signalled whenever a transfer leaves pending_
    bool claimed_ = false;
    std::list<std::unique_ptr<PendingTransfer>> pending_;
};

class LibusbDeviceFile final : public DeviceFile {
  public:
    LibusbDeviceFile(std::shared_ptr<SharedDevice> device, bool overlapped)
        : device_(std::move(device)), overlapped_(overlapped) {}
    ~LibusbDeviceFile() override {
        device_->CancelAndWait([this](const PendingTransfer &p) { return p.owner == this; });
    }

    uint32_t IoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                       uint32_t *bytesReturned) override {
        Event done;
        Overlapped overlapped(done);
        uint32_t error = Submit(code, in, inSize, out, outSize, bytesReturned, overlapped);
        if (error == kIoPending) error = GetOverlappedResult(overlapped, bytesReturned, true);
        if (error != kIoSuccess && bytesReturned != nullptr) *bytesReturned = 0;
        return error;
    }

    uint32_t SubmitIoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                             uint32_t *bytesReturned, Overlapped &overlapped) override {
        if (!overlapped_) return kIoInvalidHandle;
        return Submit(code, in, inSize, out, outSize, bytesReturned, overlapped);
    }

  private:
    // Control and bulk transfers go asynchronous; everything else is done at once and
    // completed.
    uint32_t Submit(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                    uint32_t *bytesReturned, Overlapped &overlapped) {
        DecodedRequest request;
        if (uint32_t error = DecodeRequest(code, in, inSize, out, outSize, &request)) {
            return error;
        }
        if (request.kind == RequestKind::BulkTransfer ||
            request.kind == RequestKind::ControlTransfer) {
            return device_->SubmitTransfer(request, overlapped, this);
        }
        uint32_t error = PerformAtOnce(request);
        uint32_t reported = 0;
        CompleteRequest(request, error, 0, &reported);
        if (bytesReturned != nullptr) *bytesReturned = reported;
        if (error == kIoSuccess) overlapped.Complete(error, reported);
        return error;
    }

    // The pipe and port operations, which move no data.
    uint32_t PerformAtOnce(const DecodedRequest &request) {
        libusb_device_handle *handle = device_->Handle();
        switch (request.kind) {
            case RequestKind::AbortPipe: {
                uint8_t endpoint = request.endpoint;
                device_->CancelAndWait([endpoint](const PendingTransfer &p) {
                    return p.request.endpoint == endpoint;
                });
                return kIoSuccess;
            }
            case RequestKind::ResetPipe:
                if (uint32_t error = device_->EnsureClaimed(); error != kIoSuccess) return error;
                return LibusbErrorToIoError(libusb_clear_halt(handle, request.endpoint));
            case RequestKind::ResetParentPort:
                return LibusbErrorToIoError(libusb_reset_device(handle));
            case RequestKind::GetDeviceSpeed:
                StoreDeviceSpeed(request, LibusbSpeedToSpeedCode(
                                              libusb_get_device_speed(libusb_get_device(handle))));
                return kIoSuccess;
            case RequestKind::ControlTransfer:
            case RequestKind::BulkTransfer:
                break;
        }
        return kIoInvalidFunction;
    }

    std::shared_ptr<SharedDevice> device_;
    const bool overlapped_;
};

// Reads where a libusb device sits; false when its descriptor cannot be read.
bool Locate(libusb_device *device, DeviceLocation *location) {
    libusb_device_descriptor descriptor{};
    if (libusb_get_device_descriptor(device, &descriptor) != 0) return false;
    uint8_t ports[kMaxPortDepth];
    int depth = libusb_get_port_numbers(device, ports, kMaxPortDepth);
    if (depth <= 0) return false;
    location->vendorId = descriptor.idVendor;
    location->productId = descriptor.idProduct;
    location->bus = libusb_get_bus_number(device);
    location->ports.assign(ports, ports + depth);
    return true;
}

class LibusbDriverPort final : public DriverPort {
  public:
    LibusbDriverPort(std::shared_ptr<Context> context, std::vector<uint16_t> vendorIds)
        : context_(std::move(context)), vendorIds_(std::move(vendorIds)) {}

    ~LibusbDriverPort() override {
        std::lock_guard lock(hotplugLock_);
        for (libusb_hotplug_callback_handle handle : hotplugHandles_) {
            libusb_hotplug_deregister_callback(context_->Get(), handle);
        }
        if (changes_) context_->KeepUntilStopped(std::move(changes_));
    }

    // libusb's hot-plug callbacks of our vendor ids, where the platform supports them; they
    // run on the event thread and only post the change to the port's delivery thread.
    DeviceChangeToken RegisterDeviceChangeCallback(DeviceChangeCallback callback) override {
        if (!context_ || libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) == 0) return 0;
        std::lock_guard lock(hotplugLock_);
        if (!changes_) {
            changes_ = std::make_shared<DeviceChangeNotifier>();
            for (uint16_t vendorId : vendorIds_) {
                libusb_hotplug_callback_handle handle = 0;
                if (libusb_hotplug_register_callback(
                        context_->Get(),
                        LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED | LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT,
                        LIBUSB_HOTPLUG_NO_FLAGS, vendorId, LIBUSB_HOTPLUG_MATCH_ANY,
                        LIBUSB_HOTPLUG_MATCH_ANY, &LibusbDriverPort::OnHotplug, changes_.get(),
                        &handle) == LIBUSB_SUCCESS) {
                    hotplugHandles_.push_back(handle);
                }
            }
        }
        if (hotplugHandles_.empty()) return 0;
        return changes_->Register(std::move(callback));
    }

    void UnregisterDeviceChangeCallback(DeviceChangeToken token) override {
        std::shared_ptr<DeviceChangeNotifier> changes;
        {
            std::lock_guard lock(hotplugLock_);
            changes = changes_;
        }
        if (changes) changes->Unregister(token);
    }

    std::vector<std::string> EnumerateInterfaces(const Guid &interfaceGuid) override {
        std::vector<std::string> paths;
        if (!context_) return paths;
        ForEachDevice([&](libusb_device *, const DeviceLocation &location) {
            paths.push_back(FormatDevicePath(location, interfaceGuid));
            return false;
        });
        return paths;
    }

    std::unique_ptr<DeviceFile> Open(const std::string &path, bool overlapped) override {
        if (!context_) return nullptr;
        std::optional<DeviceLocation> wanted = ParseDevicePath(path);
        if (!wanted) return nullptr;
        std::shared_ptr<SharedDevice> device;
        ForEachDevice([&](libusb_device *candidate, const DeviceLocation &location) {
            if (location != *wanted) return false;
            device = OpenShared(candidate, location);
            return true;
        });
        if (!device) return nullptr;
        return std::make_unique<LibusbDeviceFile>(std::move(device), overlapped);
    }

  private:
    // Calls visit(device, location) for each device of our vendor ids until it returns true.
    template <typename Visit>
    void ForEachDevice(Visit visit) {
        libusb_device **list = nullptr;
        ssize_t count = libusb_get_device_list(context_->Get(), &list);
        for (ssize_t i = 0; i < count; ++i) {
            DeviceLocation location;
            if (!Locate(list[i], &location)) continue;
            if (std::find(vendorIds_.begin(), vendorIds_.end(), location.vendorId) ==
                vendorIds_.end()) {
                continue;
            }
            if (visit(list[i], location)) break;
        }
        if (count >= 0) libusb_free_device_list(list, 1);
    }

    std::shared_ptr<SharedDevice> OpenShared(libusb_device *device, const DeviceLocation &where) {
        std::lock_guard lock(mutex_);
        std::string key = FormatDevicePath(where, Guid{});
        // A handle open on the device that sat in this socket before (unplugged, another
        // device or the same camera plugged back) is dead: the new device gets its own.
        auto existing = open_[key].lock();
        if (existing && libusb_get_device(existing->Handle()) == device) return existing;
        libusb_device_handle *handle = nullptr;
        if (libusb_open(device, &handle) != 0) return nullptr;
        auto shared = std::make_shared<SharedDevice>(context_, handle);
        open_[key] = shared;
        return shared;
    }

    static int LIBUSB_CALL OnHotplug(libusb_context *, libusb_device *device,
                                     libusb_hotplug_event event, void *notifier) {
        DeviceLocation location;
        if (Locate(device, &location)) {
            static_cast<DeviceChangeNotifier *>(notifier)->Post(
                event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED ? DeviceChange::Arrival
                                                             : DeviceChange::Removal,
                FormatDevicePath(location, kCameraInterfaceGuid));
        }
        return 0;  // stay registered
    }

    std::shared_ptr<Context> context_;  // null when libusb could not start
    const std::vector<uint16_t> vendorIds_;
    std::mutex mutex_;  // guards open_
    std::map<std::string, std::weak_ptr<SharedDevice>> open_;
    std::mutex hotplugLock_;  // guards changes_ and hotplugHandles_
    std::shared_ptr<DeviceChangeNotifier> changes_;
    std::vector<libusb_hotplug_callback_handle> hotplugHandles_;
};

}  // namespace

std::unique_ptr<DriverPort> CreateLibusbDriverPort(std::vector<uint16_t> vendorIds) {
    return std::make_unique<LibusbDriverPort>(Context::Create(), std::move(vendorIds));
}

}  // namespace korvix::platform::usb::libusb
