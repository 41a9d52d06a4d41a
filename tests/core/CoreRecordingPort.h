#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/usb/DriverPort.h"
#include "platform/usb/DriverRecords.h"

namespace korvix::core::test {

// The setup of one control request as it went to the driver.
struct ControlSetup {
    uint8_t requestType;
    uint8_t request;
    uint16_t value;
    uint16_t index;
};

// A driver port that passes everything to another port and records the setup of every
// control request, so a test can see what went over the wire. It can also rewrite the
// GPIO25 flag of the device information block on its way back.
class RecordingDriverPort : public platform::usb::DriverPort {
  public:
    explicit RecordingDriverPort(std::unique_ptr<platform::usb::DriverPort> inner)
        : inner_(std::move(inner)) {}

    std::vector<std::string> EnumerateInterfaces(const platform::usb::Guid &guid) override {
        return inner_->EnumerateInterfaces(guid);
    }
    std::unique_ptr<platform::usb::DeviceFile> Open(const std::string &path,
                                                    bool overlapped) override;

    std::vector<ControlSetup> Setups() const {
        std::lock_guard lock(mutex_);
        return setups_;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        setups_.clear();
    }
    void OverrideGpio25Flag(uint8_t flag) { gpio25Flag_ = flag; }
    std::optional<uint8_t> Gpio25Flag() const { return gpio25Flag_; }

    void Record(const uint8_t *buffer) {
        std::lock_guard lock(mutex_);
        setups_.push_back({buffer[0], buffer[1], static_cast<uint16_t>(buffer[2] | buffer[3] << 8),
                           static_cast<uint16_t>(buffer[4] | buffer[5] << 8)});
    }

  private:
    std::unique_ptr<platform::usb::DriverPort> inner_;
    mutable std::mutex mutex_;  // guards setups_
    std::vector<ControlSetup> setups_;
    std::optional<uint8_t> gpio25Flag_;
};

class RecordingDeviceFile : public platform::usb::DeviceFile {
  public:
    RecordingDeviceFile(std::unique_ptr<platform::usb::DeviceFile> inner, RecordingDriverPort &port)
        : inner_(std::move(inner)), port_(port) {}

    uint32_t IoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                       uint32_t *bytesReturned) override {
        const bool control = code == platform::usb::kIoctlControlTransfer && in && inSize >= 6;
        if (control) port_.Record(static_cast<const uint8_t *>(in));
        uint32_t result = inner_->IoControl(code, in, inSize, out, outSize, bytesReturned);
        constexpr uint32_t kInfoBlockRequest = 0xB0, kDataArea = 38, kGpio25Offset = 52;
        if (control && result == 0 && port_.Gpio25Flag() && out && outSize >= 102 &&
            static_cast<const uint8_t *>(in)[1] == kInfoBlockRequest) {
            static_cast<uint8_t *>(out)[kDataArea + kGpio25Offset] = *port_.Gpio25Flag();
        }
        return result;
    }
    uint32_t SubmitIoControl(uint32_t code, void *in, uint32_t inSize, void *out, uint32_t outSize,
                             uint32_t *bytesReturned,
                             platform::usb::Overlapped &overlapped) override {
        return inner_->SubmitIoControl(code, in, inSize, out, outSize, bytesReturned, overlapped);
    }
    uint32_t GetOverlappedResult(platform::usb::Overlapped &overlapped, uint32_t *bytes,
                                 bool wait) override {
        return inner_->GetOverlappedResult(overlapped, bytes, wait);
    }

  private:
    std::unique_ptr<platform::usb::DeviceFile> inner_;
    RecordingDriverPort &port_;
};

inline std::unique_ptr<platform::usb::DeviceFile> RecordingDriverPort::Open(const std::string &path,
                                                                            bool overlapped) {
    auto file = inner_->Open(path, overlapped);
    if (!file) return nullptr;
    return std::make_unique<RecordingDeviceFile>(std::move(file), *this);
}

}  // namespace korvix::core::test
