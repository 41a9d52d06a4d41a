#include "sim/SensorModel.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace korvix::sim {

namespace {
// Low-gain mode (bit 0 of 0x0710 clear) trades sensitivity for full-well capacity.
constexpr double kLowGainModeFactor = 0.25;
// IMX990/991 window cropping: 0x0304 = 2, and the read-out's first row lies this many rows
// above the window's top register.
constexpr uint8_t kWindowModeCropped = 2;
constexpr uint32_t kCroppedTopRows = 4;
}  // namespace

SensorModel::SensorModel(const HeadProfile &profile) : profile_(profile) {
    PowerUp();
}

void SensorModel::Store24(uint16_t lowAddress, uint32_t value) {
    registers_[lowAddress] = value & 0xFF;
    registers_[lowAddress + 1] = (value >> 8) & 0xFF;
    registers_[lowAddress + 2] = (value >> 16) & 0xFF;
}

void SensorModel::PowerUp() {
    registers_.fill(0);
    Store24(sensor::kVmax0, profile_.vmaxDefault);
    registers_[sensor::kHmax0] = profile_.hmaxDefault & 0xFF;
    registers_[sensor::kHmax1] = profile_.hmaxDefault >> 8;
    Store24(sensor::kShs0, profile_.shsDefault);
    registers_[sensor::kWindowWidth0] = profile_.sensorWidth & 0xFF;
    registers_[sensor::kWindowWidth1] = (profile_.sensorWidth >> 8) & sensor::kWindowHighMask;
    registers_[sensor::kWindowHeight0] = profile_.sensorHeight & 0xFF;
    registers_[sensor::kWindowHeight1] = (profile_.sensorHeight >> 8) & sensor::kWindowHighMask;
    registers_[sensor::kReadoutMode] = 0x24;
    registers_[sensor::kGainMode] = 0x01;
    registers_[sensor::kTriggerConfig] = profile_.triggerConfigDefault;
    registers_[sensor::kBlackLevel0] = profile_.blackDefault & 0xFF;
    registers_[sensor::kBlackLevel1] = profile_.blackDefault >> 8;
    registers_[sensor::kIdentification] = profile_.identification;
    registers_[sensor::kIdentification2] = profile_.identification2;
}

void SensorModel::Write(uint16_t address, uint8_t value, uint16_t temperatureSample) {
    if (address == sensor::kTemperatureLatch && (value & 0x01) != 0 &&
        (registers_[address] & 0x01) == 0) {
        registers_[sensor::kTemperatureLow] = temperatureSample & 0xFF;
        registers_[sensor::kTemperatureHigh] = (temperatureSample >> 8) & 0x0F;
    }
    if (address == sensor::kTemperatureLow || address == sensor::kTemperatureHigh) return;
    registers_[address] = value;
}

SensorModel::WriteCheck SensorModel::Check(uint16_t address, uint8_t value,
                                           bool busRequested) const {
    const auto &needsRequest = sensor::kBusRequestRegisters;
    if (!busRequested &&
        std::find(needsRequest.begin(), needsRequest.end(), address) != needsRequest.end()) {
        return WriteCheck::NoBusRequest;
    }
    const auto &needsStandby = profile_.standbyRegisters;
    if (!Standby() && registers_[address] != value &&
        std::find(needsStandby.begin(), needsStandby.end(), address) != needsStandby.end()) {
        return WriteCheck::NotInStandby;
    }
    return WriteCheck::Accepted;
}

uint8_t SensorModel::Read(uint16_t address) const {
    auto stuck = stuck_.find(address);
    return stuck != stuck_.end() ? stuck->second : registers_[address];
}

uint32_t SensorModel::Vmax() const {
    return registers_[sensor::kVmax0] | registers_[sensor::kVmax1] << 8 |
           registers_[sensor::kVmax2] << 16;
}

uint32_t SensorModel::Hmax() const {
    return registers_[sensor::kHmax0] | registers_[sensor::kHmax1] << 8;
}

uint32_t SensorModel::Shs() const {
    return registers_[sensor::kShs0] | registers_[sensor::kShs1] << 8 |
           registers_[sensor::kShs2] << 16;
}

bool SensorModel::SubsampledReadout() const {
    return registers_[sensor::kSubsample] == sensor::kSubsampleOn ||
           registers_[sensor::kReadoutMode] == sensor::kReadoutBinned;
}

uint32_t SensorModel::ReadoutX() const {
    const bool wholeArray = !profile_.windowInArrayPixels && SubsampledReadout();
    return MirroredStart(wholeArray ? 0 : WindowX(), OutputWidth(), profile_.sensorWidth, MirrorH());
}

uint32_t SensorModel::ReadoutY() const {
    uint32_t first = WindowY();
    if (!profile_.windowInArrayPixels && SubsampledReadout()) {
        first = 0;
    } else if (!profile_.windowInArrayPixels &&
               registers_[sensor::kWindowMode] == kWindowModeCropped) {
        first -= std::min(first, kCroppedTopRows);
    }
    return MirroredStart(first, OutputHeight(), profile_.sensorHeight, MirrorV());
}

uint32_t SensorModel::MirroredStart(uint32_t first, uint32_t count, uint32_t arraySize,
                                    bool mirrored) const {
    if (!mirrored || count == 0) return first;
    const uint64_t step = SubsampledReadout() ? 2 : 1;
    // One past the last array pixel a read-out from the array's other end covers.
    const uint64_t covered = first + step * (count - 1) + 1;
    return covered <= arraySize ? static_cast<uint32_t>(arraySize - covered) : 0;
}

uint32_t SensorModel::OutputWidth() const {
    const bool halved = profile_.windowInArrayPixels && SubsampledReadout();
    return halved ? WindowWidth() / 2 : WindowWidth();
}

uint32_t SensorModel::OutputHeight() const {
    const bool halved = profile_.windowInArrayPixels && SubsampledReadout();
    return halved ? WindowHeight() / 2 : WindowHeight();
}

size_t SensorModel::LineCapacityBytes() const {
    if (profile_.hmaxPerSensorWidthBytes == 0) return SIZE_MAX;
    return static_cast<size_t>(Hmax()) * profile_.sensorWidth / profile_.hmaxPerSensorWidthBytes;
}

uint32_t SensorModel::GainCode() const {
    return registers_[sensor::kGain0] | (registers_[sensor::kGain1] & 0x01) << 8;
}

double SensorModel::GainFactor() const {
    const double analog = std::pow(10.0, GainCode() / 200.0);
    const bool highGainMode = (registers_[sensor::kGainMode] & 0x01) != 0;
    return highGainMode ? analog : analog * kLowGainModeFactor;
}

uint16_t SensorModel::BlackLevel() const {
    return static_cast<uint16_t>(registers_[sensor::kBlackLevel0] |
                                 (registers_[sensor::kBlackLevel1] & 0x0F) << 8);
}

uint32_t SensorModel::ExposureLines() const {
    const uint32_t vmax = Vmax(), shs = Shs();
    return shs < vmax ? vmax - shs : 1;
}

double SensorModel::LinePeriodNs() const {
    return std::max(1u, Hmax()) * profile_.clockPeriodNs;
}

double SensorModel::FramePeriodMs() const {
    return std::max(1u, Vmax()) * LinePeriodNs() / 1.0e6;
}

double SensorModel::ExposureUs() const {
    return ExposureLines() * LinePeriodNs() / 1.0e3;
}

}  // namespace korvix::sim
