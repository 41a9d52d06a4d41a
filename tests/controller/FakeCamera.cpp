#include "controller/FakeCamera.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace korvix::controller::test {

using namespace platform::usb;

namespace {

WireEvent Entry(WireEvent::Kind kind, uint8_t endpoint = 0) {
    WireEvent entry{};
    entry.kind = kind;
    entry.endpoint = endpoint;
    return entry;
}

}  // namespace

void FakeCamera::QueueBulkIn(BulkAnswer answer) {
    std::lock_guard lock(mutex_);
    bulkIn_.push_back(std::move(answer));
}

std::vector<WireEvent> FakeCamera::Log() const {
    std::lock_guard lock(mutex_);
    return log_;
}

int FakeCamera::CountOf(WireEvent::Kind kind) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count_if(log_.begin(), log_.end(),
                                          [&](const WireEvent &e) { return e.kind == kind; }));
}

std::vector<WireEvent> FakeCamera::Requests(uint8_t request) const {
    std::lock_guard lock(mutex_);
    std::vector<WireEvent> found;
    for (const WireEvent &e : log_) {
        if (e.kind == WireEvent::Kind::Control && e.setup.request == request) found.push_back(e);
    }
    return found;
}

int FakeCamera::IoControlCount() const {
    std::lock_guard lock(mutex_);
    return ioControls_;
}

int FakeCamera::PendingTransfers() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(pending_.size());
}

void FakeCamera::I2cWrite(uint8_t address, const uint8_t *data, uint32_t count) {
    if (address == 0x40 && count >= 1) {
        fpgaPointer_ = data[0];
        if (count >= 3) fpga[data[0]] = data[2];
    } else if (address == 0xA2 && count >= 2) {
        sromPointer_ = static_cast<uint16_t>((data[0] << 8) | data[1]);
        if (count >= 3) srom[sromPointer_] = data[2];
    }
}

void FakeCamera::I2cRead(uint8_t address, uint8_t *data, uint32_t count) {
    if (address == 0x41 && count >= 2) {
        data[0] = 0;
        data[1] = fpga[fpgaPointer_];
    } else if (address == 0xA3 && count >= 1) {
        auto it = srom.find(sromPointer_);
        data[0] = it == srom.end() ? 0xFF : it->second;
    }
}

uint32_t FakeCamera::PerformControl(const DecodedRequest &request, uint32_t *transferred) {
    const SetupPacket &setup = request.setup;
    WireEvent event = Entry(WireEvent::Kind::Control);
    event.setup = setup;
    if (!setup.IsDeviceToHost()) event.data.assign(request.data, request.data + request.dataLength);
    log_.push_back(event);
    if (failControl) return kIoGenFailure;
    if (!setup.IsDeviceToHost()) {
        if (setup.request == 0x30)
            I2cWrite(static_cast<uint8_t>(setup.index), request.data, setup.value);
        *transferred = request.dataLength;
        return kIoSuccess;
    }
    uint8_t *answer = request.data;
    std::memset(answer, 0, request.dataLength);
    switch (setup.request) {
        case 0x31:
            I2cRead(static_cast<uint8_t>(setup.index), answer, setup.value);
            break;
        case 0xC3:
            answer[0] = readyFlag;
            break;
        case 0xB0:
        case 0xB1:
            for (uint32_t i = 0; i < request.dataLength; ++i)
                answer[i] = static_cast<uint8_t>(i + setup.request);
            break;
        case 0xD1:
            StoreLe16(answer, static_cast<uint16_t>(setup.index * 3));
            break;
        case 0x3F:
            StoreLe16(answer, static_cast<uint16_t>(setup.value + 1));
            break;
        case 0x3D:
            answer[0] = 0x7E;
            break;
        default:
            break;
    }
    *transferred =
        shortAnswerBytes >= 0 ? static_cast<uint32_t>(shortAnswerBytes) : request.dataLength;
    return kIoSuccess;
}

uint32_t FakeCamera::Perform(const DecodedRequest &request, uint32_t *transferred,
                             Overlapped *overlapped, const void *owner) {
    std::lock_guard lock(mutex_);
    ++ioControls_;
    *transferred = 0;
    switch (request.kind) {
        case RequestKind::ControlTransfer:
            return PerformControl(request, transferred);
        case RequestKind::BulkTransfer: {
            if (!request.IsIn()) {
                WireEvent event = Entry(WireEvent::Kind::BulkOut, request.endpoint);
                event.data.assign(request.data, request.data + request.dataLength);
                log_.push_back(event);
                *transferred = request.dataLength;
                return kIoSuccess;
            }
            WireEvent event = Entry(WireEvent::Kind::BulkIn, request.endpoint);
            event.length = request.dataLength;
            log_.push_back(event);
            if (bulkIn_.empty()) {
                if (overlapped == nullptr) return kIoSemTimeout;
                overlapped->MarkPending();
                pending_.push_back({request, overlapped, owner});
                return kIoPending;
            }
            BulkAnswer answer = std::move(bulkIn_.front());
            bulkIn_.pop_front();
            if (answer.error != kIoSuccess) return answer.error;
            *transferred =
                std::min<uint32_t>(request.dataLength, static_cast<uint32_t>(answer.bytes.size()));
            std::memcpy(request.data, answer.bytes.data(), *transferred);
            return kIoSuccess;
        }
        case RequestKind::AbortPipe: {
            log_.push_back(Entry(WireEvent::Kind::AbortPipe, request.endpoint));
            uint8_t endpoint = request.endpoint;
            CancelPending(
                [endpoint](const PendingRead &p) { return p.request.endpoint == endpoint; });
            return kIoSuccess;
        }
        case RequestKind::ResetPipe:
            log_.push_back(Entry(WireEvent::Kind::ResetPipe, request.endpoint));
            return kIoSuccess;
        case RequestKind::ResetParentPort:
            log_.push_back(Entry(WireEvent::Kind::ResetPort));
            return kIoSuccess;
        case RequestKind::GetDeviceSpeed:
            log_.push_back(Entry(WireEvent::Kind::Speed));
            StoreDeviceSpeed(request, speedCode);
            *transferred = 4;
            return kIoSuccess;
    }
    return kIoInvalidFunction;
}

template <typename Match>
void FakeCamera::CancelPending(Match match) {
    auto first = std::stable_partition(pending_.begin(), pending_.end(),
                                       [&](const PendingRead &p) { return !match(p); });
    std::vector<PendingRead> cancelled(first, pending_.end());
    pending_.erase(first, pending_.end());
    for (PendingRead &p : cancelled) {
        CompleteRequest(p.request, kIoOperationAborted, 0, nullptr);
        p.overlapped->Complete(kIoOperationAborted, 0);
    }
}

void FakeCamera::CancelOwner(const void *owner) {
    std::lock_guard lock(mutex_);
    CancelPending([owner](const PendingRead &p) { return p.owner == owner; });
}

namespace {

class FakeFile final : public DeviceFile {
  public:
    FakeFile(std::shared_ptr<FakeCamera> camera, bool overlapped)
        : camera_(std::move(camera)), overlapped_(overlapped) {}
    ~FakeFile() override { camera_->CancelOwner(this); }

    uint32_t IoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                       uint32_t *bytesReturned) override {
        DecodedRequest request;
        if (uint32_t error = DecodeRequest(code, in, inSize, out, outSize, &request)) return error;
        uint32_t transferred = 0;
        uint32_t error = camera_->Perform(request, &transferred, nullptr, this);
        return CompleteRequest(request, error, transferred, bytesReturned);
    }

    uint32_t SubmitIoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                             uint32_t *bytesReturned, Overlapped &overlapped) override {
        if (!overlapped_) return kIoInvalidHandle;
        DecodedRequest request;
        if (uint32_t error = DecodeRequest(code, in, inSize, out, outSize, &request)) return error;
        uint32_t transferred = 0;
        uint32_t error = camera_->Perform(request, &transferred, &overlapped, this);
        if (error == kIoPending) return error;
        uint32_t reported = 0;
        CompleteRequest(request, error, transferred, &reported);
        if (bytesReturned != nullptr) *bytesReturned = reported;
        if (error == kIoSuccess) overlapped.Complete(error, reported);
        return error;
    }

  private:
    std::shared_ptr<FakeCamera> camera_;
    bool overlapped_;
};

class FakePort final : public DriverPort {
  public:
    explicit FakePort(std::shared_ptr<FakeCamera> camera) : camera_(std::move(camera)) {}
    std::vector<std::string> EnumerateInterfaces(const Guid &) override { return camera_->listed; }
    std::unique_ptr<DeviceFile> Open(const std::string &path, bool overlapped) override {
        std::string lower = path;
        for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (const std::string &p : camera_->present) {
            std::string candidate = p;
            for (char &c : candidate)
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (candidate == lower) return std::make_unique<FakeFile>(camera_, overlapped);
        }
        return nullptr;
    }

  private:
    std::shared_ptr<FakeCamera> camera_;
};

}  // namespace

std::unique_ptr<DriverPort> MakeFakePort(std::shared_ptr<FakeCamera> camera) {
    return std::make_unique<FakePort>(std::move(camera));
}

std::string FakePath(uint16_t product, int n) {
    char path[128];
    std::snprintf(path, sizeof path,
                  "\\\\?\\usb#vid_04b4&pid_%04x#%d&%d#{328184c5-93e6-49b7-94b8-2ada13aabb39}",
                  product, n, n);
    return path;
}

}  // namespace korvix::controller::test
