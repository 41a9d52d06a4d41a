#include "usbfs/UsbfsDevice.h"

#include <errno.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "platform/Clock.h"

namespace korvix::test {

namespace {

constexpr unsigned kCameraInterface = 0;
constexpr std::array<uint8_t, 3> kEndpoints{0x01, 0x81, 0x83};
constexpr size_t kSetupSize = 8;
// libusb then submits each transfer as one URB, as on an xHCI controller.
constexpr uint32_t kCapabilities = USBDEVFS_CAP_ZERO_PACKET | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                   USBDEVFS_CAP_BULK_SCATTER_GATHER |
                                   USBDEVFS_CAP_REAP_AFTER_DISCONNECT;

usbdevfs_urb &Fields(UMockdevIoctlData *urb) {
    return *reinterpret_cast<usbdevfs_urb *>(urb->data);
}

// The value at the start of an argument block: what the ioctl's pointer argument points to.
template <typename T>
T *Resolve(UMockdevIoctlData *arg, UMockdevIoctlData **resolved) {
    *resolved = umockdev_ioctl_data_resolve(arg, 0, sizeof(T), nullptr);
    return *resolved != nullptr ? reinterpret_cast<T *>((*resolved)->data) : nullptr;
}

bool KnownEndpoint(unsigned endpoint) {
    return std::find(kEndpoints.begin(), kEndpoints.end(), endpoint) != kEndpoints.end();
}

}  // namespace

UsbfsDevice::UsbfsDevice(std::shared_ptr<sim::SimulatedCamera> camera)
    : camera_(std::move(camera)), handler_(umockdev_ioctl_base_new()) {
    g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(&UsbfsDevice::OnIoctl), this);
    g_signal_connect(handler_, "client-vanished", G_CALLBACK(&UsbfsDevice::OnClientVanished), this);
    listener_ = camera_->AddChangeListener([this] { Poke(); });
    worker_ = std::thread([this] { Run(); });
}

UsbfsDevice::~UsbfsDevice() {
    camera_->RemoveChangeListener(listener_);
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    worker_.join();
    for (Reaper &reaper : reapers_) {
        umockdev_ioctl_client_complete(reaper.client, -1, ENODEV);
        g_object_unref(reaper.arg);
        g_object_unref(reaper.client);
    }
    for (Urb &urb : pending_) Release(urb);
    for (Urb &urb : completed_) Release(urb);
    g_signal_handlers_disconnect_by_data(handler_, this);
    g_object_unref(handler_);
}

void UsbfsDevice::Release(Urb &urb) {
    g_object_unref(urb.buffer);
    g_object_unref(urb.urb);
    g_object_unref(urb.client);
}

void UsbfsDevice::Remove() {
    std::lock_guard lock(mutex_);
    removed_ = true;
    for (auto urb = pending_.begin(); urb != pending_.end();) {
        auto next = std::next(urb);
        if (urb->attempting) {
            urb->discardStatus = -ESHUTDOWN;
        } else {
            CompleteLocked(urb, -ESHUTDOWN);
        }
        urb = next;
    }
    reapersChanged_ = true;  // waiting reapers learn that the device is gone
    changed_.notify_all();
}

uint32_t UsbfsDevice::SubmittedUrbs(uint8_t endpoint) const {
    std::lock_guard lock(mutex_);
    auto found = submitted_.find(endpoint);
    return found == submitted_.end() ? 0 : found->second;
}

gboolean UsbfsDevice::OnIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self) {
    auto *device = static_cast<UsbfsDevice *>(self);
    const unsigned long request = umockdev_ioctl_client_get_request(client);
    UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
    if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) {
        device->Reap(client, arg, request == USBDEVFS_REAPURB);  // answers now or later
        return TRUE;
    }
    const Reply reply = device->Perform(client, request, arg);
    umockdev_ioctl_client_complete(client, reply.result, reply.error);
    return TRUE;
}

void UsbfsDevice::OnClientVanished(UMockdevIoctlBase *, UMockdevIoctlClient *client,
                                   gpointer self) {
    // Closing a usbfs file kills its URBs and gives up its interfaces.
    auto *device = static_cast<UsbfsDevice *>(self);
    std::lock_guard lock(device->mutex_);
    for (auto *list : {&device->pending_, &device->completed_}) {
        for (auto urb = list->begin(); urb != list->end();) {
            if (urb->client == client && !urb->attempting) {
                Release(*urb);
                urb = list->erase(urb);
            } else {
                if (urb->client == client) urb->discardStatus = -ENOENT;
                ++urb;
            }
        }
    }
    std::erase_if(device->claims_, [&](const auto &claim) { return claim.second == client; });
}

UsbfsDevice::Reply UsbfsDevice::Perform(UMockdevIoctlClient *client, unsigned long request,
                                        UMockdevIoctlData *arg) {
    {
        std::lock_guard lock(mutex_);
        if (removed_) return {-1, ENODEV};
    }
    UMockdevIoctlData *resolved = nullptr;
    Reply reply{-1, EINVAL};
    switch (request) {
        case USBDEVFS_GET_CAPABILITIES:
            if (auto *caps = Resolve<uint32_t>(arg, &resolved)) {
                *caps = kCapabilities;
                reply = {0, 0};
            }
            break;
        case USBDEVFS_CLAIMINTERFACE:
        case USBDEVFS_RELEASEINTERFACE:
            if (auto *interface = Resolve<unsigned>(arg, &resolved)) {
                reply = Claim(client, *interface, request == USBDEVFS_CLAIMINTERFACE);
            }
            break;
        case USBDEVFS_DISCONNECT_CLAIM:  // no kernel driver to disconnect: a plain claim
            if (auto *claim = Resolve<usbdevfs_disconnect_claim>(arg, &resolved)) {
                reply = Claim(client, claim->interface, true);
            }
            break;
        case USBDEVFS_SETINTERFACE:
            if (auto *setting = Resolve<usbdevfs_setinterface>(arg, &resolved)) {
                const bool known =
                    setting->interface == kCameraInterface && setting->altsetting == 0;
                reply = known ? Reply{0, 0} : Reply{-1, EINVAL};
            }
            break;
        case USBDEVFS_CLEAR_HALT:
            if (auto *endpoint = Resolve<unsigned>(arg, &resolved)) {
                if (KnownEndpoint(*endpoint)) {
                    camera_->ResetPipe(static_cast<uint8_t>(*endpoint),
                                       platform::CurrentClock().NowMs());
                    reply = {0, 0};
                } else {
                    reply = {-1, ENOENT};
                }
            }
            break;
        case USBDEVFS_RESET:
            camera_->ResetParentPort(platform::CurrentClock().NowMs());
            reply = {0, 0};
            break;
        case USBDEVFS_SUBMITURB:
            reply = Submit(client, arg);
            break;
        case USBDEVFS_DISCARDURB:
            reply = Discard(client, arg);
            break;
        default:
            reply = {-1, ENOTTY};
            break;
    }
    if (resolved != nullptr) g_object_unref(resolved);
    return reply;
}

UsbfsDevice::Reply UsbfsDevice::Claim(UMockdevIoctlClient *client, unsigned interface, bool claim) {
    if (interface != kCameraInterface) return {-1, ENOENT};
    std::lock_guard lock(mutex_);
    auto holder = claims_.find(interface);
    if (claim) {
        if (holder != claims_.end() && holder->second != client) return {-1, EBUSY};
        claims_[interface] = client;
        return {0, 0};
    }
    if (holder == claims_.end() || holder->second != client) return {-1, EINVAL};
    claims_.erase(holder);
    return {0, 0};
}

UsbfsDevice::Reply UsbfsDevice::Submit(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
    Urb urb;
    urb.urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
    if (urb.urb == nullptr) return {-1, EFAULT};
    usbdevfs_urb &fields = Fields(urb.urb);
    const bool control = fields.type == USBDEVFS_URB_TYPE_CONTROL && fields.endpoint == 0;
    const bool bulk = fields.type == USBDEVFS_URB_TYPE_BULK && KnownEndpoint(fields.endpoint);
    if ((!control && !bulk) || fields.buffer_length < 0 ||
        (control && static_cast<size_t>(fields.buffer_length) < kSetupSize)) {
        g_object_unref(urb.urb);
        return {-1, EINVAL};
    }
    urb.buffer = umockdev_ioctl_data_resolve(urb.urb, offsetof(usbdevfs_urb, buffer),
                                             static_cast<size_t>(fields.buffer_length), nullptr);
    if (urb.buffer == nullptr) {
        g_object_unref(urb.urb);
        return {-1, EFAULT};
    }
    urb.client = static_cast<UMockdevIoctlClient *>(g_object_ref(client));
    fields.status = 0;
    fields.actual_length = 0;

    const bool done = Transfer(urb, platform::CurrentClock().NowMs());
    std::lock_guard lock(mutex_);
    ++submitted_[fields.endpoint];
    if (removed_) {
        Release(urb);
        return {-1, ENODEV};
    }
    pending_.push_back(urb);
    if (done) {
        CompleteLocked(std::prev(pending_.end()), Fields(urb.urb).status);
    } else {
        poked_ = true;
        changed_.notify_all();
    }
    return {0, 0};
}

bool UsbfsDevice::Transfer(Urb &urb, uint64_t nowMs) {
    usbdevfs_urb &fields = Fields(urb.urb);
    std::span<uint8_t> buffer(urb.buffer->data, static_cast<size_t>(fields.buffer_length));
    if (fields.endpoint == 0) {
        // Vendor requests: the model answers through its 64-byte data area; a longer data
        // stage or a refused request stalls.
        const std::span<uint8_t> stage = buffer.subspan(kSetupSize);
        const uint8_t *setup = buffer.data();
        std::array<uint8_t, sim::request::kDataAreaBytes> area{};
        const bool in = (setup[0] & 0x80) != 0;
        const uint16_t length = static_cast<uint16_t>(setup[6] | setup[7] << 8);
        sim::ControlResult result;
        if (length <= area.size() && length <= stage.size()) {
            if (!in) std::copy_n(stage.begin(), length, area.begin());
            result =
                camera_->Control(sim::SetupPacket{setup[0], setup[1],
                                                  static_cast<uint16_t>(setup[2] | setup[3] << 8),
                                                  static_cast<uint16_t>(setup[4] | setup[5] << 8)},
                                 area, nowMs);
        }
        const size_t moved = result.ok ? std::min<size_t>(result.dataBytes, length) : 0;
        if (result.ok && in) std::copy_n(area.begin(), moved, stage.begin());
        fields.status = result.ok ? 0 : -EPIPE;
        fields.actual_length = static_cast<int>(moved);
        return true;
    }
    if ((fields.endpoint & 0x80) == 0) {
        const bool taken = camera_->BulkWrite(fields.endpoint, buffer, nowMs);
        fields.status = taken ? 0 : -EPIPE;
        fields.actual_length = taken ? fields.buffer_length : 0;
        return true;
    }
    const sim::BulkReadResult read = camera_->BulkRead(fields.endpoint, buffer, nowMs);
    urb.retryAtMs = read.retryAtMs;
    if (!read.ready) return false;
    fields.status = 0;
    fields.actual_length = static_cast<int>(read.bytes);
    return true;
}

UsbfsDevice::Reply UsbfsDevice::Discard(UMockdevIoctlClient *client, UMockdevIoctlData *arg) {
    // The argument is the URB's address in the submitting process.
    gulong address = 0;
    std::memcpy(&address, arg->data, std::min<size_t>(sizeof address, arg->data_len));
    std::lock_guard lock(mutex_);
    auto urb = std::find_if(pending_.begin(), pending_.end(), [&](const Urb &u) {
        return u.client == client && u.urb->client_addr == address;
    });
    if (urb == pending_.end() || urb->discardStatus) return {-1, EINVAL};
    if (urb->attempting) {
        urb->discardStatus = -ENOENT;  // completes when the read into it has ended
    } else {
        CompleteLocked(urb, -ENOENT);
    }
    return {0, 0};
}

void UsbfsDevice::CompleteLocked(std::list<Urb>::iterator urb, int status) {
    Fields(urb->urb).status = status;
    if (status != 0) Fields(urb->urb).actual_length = 0;
    completed_.splice(completed_.end(), pending_, urb);
    auto reaper = std::find_if(reapers_.begin(), reapers_.end(),
                               [&](const Reaper &r) { return r.client == urb->client; });
    if (reaper != reapers_.end()) AnswerReaperLocked(reaper, urb);
}

void UsbfsDevice::AnswerReaperLocked(std::list<Reaper>::iterator reaper,
                                     std::list<Urb>::iterator urb) {
    // The reaper's argument points to a pointer that receives the URB's address.
    UMockdevIoctlData *slot = umockdev_ioctl_data_resolve(reaper->arg, 0, sizeof(void *), nullptr);
    bool handed = slot != nullptr && umockdev_ioctl_data_set_ptr(slot, 0, urb->urb);
    umockdev_ioctl_client_complete(reaper->client, handed ? 0 : -1, handed ? 0 : EFAULT);
    if (slot != nullptr) g_object_unref(slot);
    g_object_unref(reaper->arg);
    g_object_unref(reaper->client);
    reapers_.erase(reaper);
    Release(*urb);
    completed_.erase(urb);
}

void UsbfsDevice::Reap(UMockdevIoctlClient *client, UMockdevIoctlData *arg, bool waitsForever) {
    std::lock_guard lock(mutex_);
    reapers_.push_back({static_cast<UMockdevIoctlClient *>(g_object_ref(client)),
                        static_cast<UMockdevIoctlData *>(g_object_ref(arg)),
                        std::chrono::steady_clock::now() + kIdleReapMs, waitsForever});
    auto urb = std::find_if(completed_.begin(), completed_.end(),
                            [&](const Urb &u) { return u.client == client; });
    if (urb != completed_.end()) {
        AnswerReaperLocked(std::prev(reapers_.end()), urb);
        return;
    }
    reapersChanged_ = true;  // the worker answers it on completion or when it gives up
    changed_.notify_all();
}

void UsbfsDevice::AnswerIdleReapersLocked(bool all) {
    const auto now = std::chrono::steady_clock::now();
    for (auto reaper = reapers_.begin(); reaper != reapers_.end();) {
        const bool giveUp = removed_ ? (all || now >= reaper->giveUpAt)
                                     : (!reaper->waitsForever && (all || now >= reaper->giveUpAt));
        if (!giveUp) {
            ++reaper;
            continue;
        }
        umockdev_ioctl_client_complete(reaper->client, -1, removed_ ? ENODEV : EAGAIN);
        g_object_unref(reaper->arg);
        g_object_unref(reaper->client);
        reaper = reapers_.erase(reaper);
    }
}

void UsbfsDevice::Poke() {
    {
        std::lock_guard lock(mutex_);
        poked_ = true;
    }
    changed_.notify_all();
}

void UsbfsDevice::Run() {
    std::unique_lock lock(mutex_);
    constexpr uint64_t kNoneDue = UINT64_MAX;
    uint64_t nextDue = kNoneDue;  // platform time a frame of a pending read falls due
    while (!stop_) {
        std::vector<std::list<Urb>::iterator> batch;
        for (auto urb = pending_.begin(); poked_ && urb != pending_.end(); ++urb) {
            if (urb->discardStatus) continue;
            urb->attempting = true;
            batch.push_back(urb);
        }
        if (poked_) nextDue = kNoneDue;
        poked_ = false;
        reapersChanged_ = false;
        lock.unlock();
        std::vector<bool> done;
        for (auto urb : batch) done.push_back(Transfer(*urb, platform::CurrentClock().NowMs()));
        lock.lock();
        for (size_t i = 0; i < batch.size(); ++i) {
            auto urb = batch[i];
            urb->attempting = false;
            if (urb->discardStatus) {
                CompleteLocked(urb, *urb->discardStatus);
            } else if (done[i]) {
                CompleteLocked(urb, Fields(urb->urb).status);
            } else if (urb->retryAtMs) {
                nextDue = std::min(nextDue, *urb->retryAtMs);
            }
        }
        // URBs of files that closed while a read ran into them.
        for (auto urb = completed_.begin(); urb != completed_.end();) {
            if (urb->discardStatus == -ENOENT && urb->client != nullptr &&
                !umockdev_ioctl_client_get_connected(urb->client)) {
                Release(*urb);
                urb = completed_.erase(urb);
            } else {
                ++urb;
            }
        }
        AnswerIdleReapersLocked(false);
        if (stop_ || poked_ || reapersChanged_) continue;

        auto wakeAt = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        for (const Reaper &reaper : reapers_) {
            if (!reaper.waitsForever || removed_) wakeAt = std::min(wakeAt, reaper.giveUpAt);
        }
        if (nextDue != kNoneDue) {
            const uint64_t now = platform::CurrentClock().NowMs();
            const auto untilDue = std::chrono::milliseconds(nextDue > now ? nextDue - now : 0);
            wakeAt = std::min(wakeAt, std::chrono::steady_clock::now() + untilDue);
        }
        changed_.wait_until(lock, wakeAt, [this] { return poked_ || reapersChanged_ || stop_; });
        if (nextDue != kNoneDue && platform::CurrentClock().NowMs() >= nextDue) poked_ = true;
    }
}

}  // namespace korvix::test
