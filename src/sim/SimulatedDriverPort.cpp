#include "sim/SimulatedDriverPort.h"

#include <array>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/Clock.h"
#include "platform/Event.h"
#include "platform/usb/DriverRecords.h"
#include "sim/PendingTransfers.h"
#include "sim/Simulator.h"

namespace korvix::sim {

namespace usb = platform::usb;

namespace {

// An open file on one simulated camera. Holds the camera even after the Simulator was
// reconfigured; files opened before an unplug stay dead after a re-plug.
class SimulatedDeviceFile final : public usb::DeviceFile {
  public:
    SimulatedDeviceFile(std::shared_ptr<SimulatedCamera> camera, bool overlapped,
                        std::shared_ptr<PendingTransfers> pending)
        : camera_(std::move(camera)),
          plugGeneration_(camera_->PlugGeneration()),
          overlapped_(overlapped),
          pending_(std::move(pending)) {}

    ~SimulatedDeviceFile() override { pending_->AbortFile(this); }

    uint32_t IoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                       uint32_t *bytesReturned) override {
        if (bytesReturned != nullptr) *bytesReturned = 0;
        platform::Event done;
        usb::Overlapped overlapped(done);
        uint32_t reported = 0;
        uint32_t error = Perform(code, in, inSize, out, outSize, &reported, overlapped);
        if (error == usb::kIoPending) {
            overlapped.WaitUntilDone();
            error = overlapped.Error();
            reported = overlapped.BytesTransferred();
        }
        if (error == usb::kIoSuccess && bytesReturned != nullptr) *bytesReturned = reported;
        return error;
    }

    uint32_t SubmitIoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                             uint32_t *bytesReturned, usb::Overlapped &overlapped) override {
        if (bytesReturned != nullptr) *bytesReturned = 0;
        if (!overlapped_) return usb::kIoInvalidHandle;
        return Perform(code, in, inSize, out, outSize, bytesReturned, overlapped);
    }

  private:
    bool Alive() const {
        return camera_->Plugged() && camera_->PlugGeneration() == plugGeneration_;
    }

    // Performs one record. Completes overlapped and returns kIoSuccess, returns an error
    // without completing, or returns kIoPending for a read that waits for the camera.
    uint32_t Perform(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                     uint32_t *bytesReturned, usb::Overlapped &overlapped) {
        usb::DecodedRequest request;
        if (uint32_t error = usb::DecodeRequest(code, in, inSize, out, outSize, &request)) {
            return error;
        }
        if (!Alive())
            return Finish(request, usb::kIoDeviceNotConnected, 0, bytesReturned, overlapped);
        const uint64_t now = platform::CurrentClock().NowMs();
        switch (request.kind) {
            case usb::RequestKind::ControlTransfer:
                return Control(request, now, bytesReturned, overlapped);
            case usb::RequestKind::BulkTransfer:
                if (request.IsIn()) {
                    return pending_->Submit(camera_, plugGeneration_, this, request, overlapped,
                                            bytesReturned);
                }
                return Finish(
                    request,
                    camera_->BulkWrite(request.endpoint, {request.data, request.dataLength}, now)
                        ? usb::kIoSuccess
                        : usb::kIoGenFailure,
                    request.dataLength, bytesReturned, overlapped);
            case usb::RequestKind::AbortPipe:
                camera_->AbortPipe(request.endpoint, now);
                pending_->AbortEndpoint(camera_.get(), request.endpoint);
                return Finish(request, usb::kIoSuccess, 0, bytesReturned, overlapped);
            case usb::RequestKind::ResetPipe:
                camera_->ResetPipe(request.endpoint, now);
                return Finish(request, usb::kIoSuccess, 0, bytesReturned, overlapped);
            case usb::RequestKind::ResetParentPort:
                camera_->ResetParentPort(now);
                return Finish(request, usb::kIoSuccess, 0, bytesReturned, overlapped);
            case usb::RequestKind::GetDeviceSpeed:
                usb::StoreDeviceSpeed(request, camera_->LinkSpeed());
                return Finish(request, usb::kIoSuccess, 4, bytesReturned, overlapped);
        }
        return usb::kIoInvalidFunction;
    }

    uint32_t Control(const usb::DecodedRequest &request, uint64_t now, uint32_t *bytesReturned,
                     usb::Overlapped &overlapped) {
        // The model answers through a 64-byte data area; the record's data stage is the same
        // size when the controller built it.
        std::array<uint8_t, request::kDataAreaBytes> area{};
        const size_t stage = std::min<size_t>(request.dataLength, area.size());
        std::memcpy(area.data(), request.data, stage);
        const SetupPacket setup{request.setup.requestType, request.setup.request,
                                request.setup.value, request.setup.index};
        ControlResult result = camera_->Control(setup, area, now);
        if (!result.ok) {
            return Finish(request, Alive() ? usb::kIoGenFailure : usb::kIoDeviceNotConnected, 0,
                          bytesReturned, overlapped);
        }
        if (request.IsIn()) std::memcpy(request.data, area.data(), stage);
        return Finish(request, usb::kIoSuccess,
                      static_cast<uint32_t>(std::min(result.dataBytes, stage)), bytesReturned,
                      overlapped);
    }

    static uint32_t Finish(const usb::DecodedRequest &request, uint32_t error, uint32_t transferred,
                           uint32_t *bytesReturned, usb::Overlapped &overlapped) {
        uint32_t reported = 0;
        usb::CompleteRequest(request, error, transferred, &reported);
        if (error != usb::kIoSuccess) return error;
        overlapped.Complete(error, reported);
        if (bytesReturned != nullptr) *bytesReturned = reported;
        return error;
    }

    const std::shared_ptr<SimulatedCamera> camera_;
    const uint32_t plugGeneration_;
    const bool overlapped_;
    const std::shared_ptr<PendingTransfers> pending_;
};

class SimulatedDriverPort final : public usb::DriverPort {
  public:
    ~SimulatedDriverPort() override {
        std::lock_guard lock(mutex_);
        if (plugListener_ != 0) Simulator::Instance().RemovePlugListener(plugListener_);
    }

    // The simulator's plug events, handed to the port's delivery thread.
    usb::DeviceChangeToken RegisterDeviceChangeCallback(
        usb::DeviceChangeCallback callback) override {
        {
            std::lock_guard lock(mutex_);
            if (plugListener_ == 0) {
                plugListener_ = Simulator::Instance().AddPlugListener(
                    [this](bool plugged, const std::string &path) {
                        changes_.Post(
                            plugged ? usb::DeviceChange::Arrival : usb::DeviceChange::Removal,
                            path);
                    });
            }
        }
        return changes_.Register(std::move(callback));
    }

    void UnregisterDeviceChangeCallback(usb::DeviceChangeToken token) override {
        changes_.Unregister(token);
    }

    std::vector<std::string> EnumerateInterfaces(const usb::Guid &interfaceGuid) override {
        if (!(interfaceGuid == usb::kCameraInterfaceGuid)) return {};
        return Simulator::Instance().PresentDevicePaths();
    }

    std::unique_ptr<usb::DeviceFile> Open(const std::string &path, bool overlapped) override {
        auto camera = Simulator::Instance().CameraByPath(path);
        if (camera == nullptr || !camera->Plugged()) return nullptr;
        return std::make_unique<SimulatedDeviceFile>(std::move(camera), overlapped, pending_);
    }

  private:
    const std::shared_ptr<PendingTransfers> pending_ = std::make_shared<PendingTransfers>();
    usb::DeviceChangeNotifier changes_;  // the destructor removes the plug listener first
    std::mutex mutex_;                   // guards plugListener_
    uint64_t plugListener_ = 0;
};

}  // namespace

std::unique_ptr<platform::usb::DriverPort> CreateSimulatedDriverPort(const char *cameraList) {
    Simulator::Instance().ConfigureOnce(cameraList != nullptr ? cameraList : "");
    return std::make_unique<SimulatedDriverPort>();
}

}  // namespace korvix::sim
