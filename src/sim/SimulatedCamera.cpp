#include "sim/SimulatedCamera.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace korvix::sim {

namespace {
constexpr double kAmbientC = 32.0;
constexpr double kCooledC = 12.0;
constexpr double kThermalTimeConstantMs = 30000.0;
constexpr double kNoiseSigmaAtUnityGain = 1.5;
// The FPGA's frame memory; larger geometries are cut to whole rows within it.
constexpr size_t kMaxPayloadBytes = 0x4000000;
}  // namespace

SimulatedCamera::SimulatedCamera(const CameraConfig &config, uint64_t nowMs)
    : config_(config),
      fpga_(*config.model->profile, config.fpgaVersion),
      sensor_(*config.model->profile),
      scene_(config.model->profile->sensorWidth, config.model->profile->sensorHeight, config.seed),
      temperatureC_(kAmbientC),
      temperatureAtMs_(nowMs) {
    srom_.Program(config_.serial, srom::kSromIdDefault);
    scene_.SetPattern(config_.scene, config_.uniformLevel);
    PowerUpLocked(nowMs);
}

SimulatedCamera::~SimulatedCamera() = default;

void SimulatedCamera::PowerUpLocked(uint64_t nowMs) {
    fpga_.PowerUp();
    sensor_.PowerUp();
    stream_.PowerCycle();
    AdvanceLocked(nowMs);  // the sensor's frame timing starts at power-up
    nextPulseMs_ = nowMs + config_.triggerPeriodMs;
    fpgaReadyAtMs_ = nowMs + fpgaBootDelayMs_;
    fpgaPointer_ = auxPointer_ = 0;
    sensorPointer_ = 0;
}

void SimulatedCamera::Notify() {
    for (auto &[id, listener] : listeners_) listener();
}

void SimulatedCamera::AddLog(uint64_t nowMs, LogTarget target, LogAccess access, uint16_t address,
                             uint32_t value) {
    log_.Add(LogEntry{nowMs, target, access, address, value});
}

FrameTiming SimulatedCamera::TimingLocked() const {
    FrameTiming timing;
    timing.running = !sensor_.Standby() && !fpga_.InReset();
    timing.external = fpga_.ExternalTrigger();
    timing.sensorExternal = sensor_.ExternalTrigger();
    timing.periodMs = sensor_.FramePeriodMs();
    return timing;
}

void SimulatedCamera::AdvanceLocked(uint64_t nowMs) {
    stream_.Advance(nowMs, TimingLocked());
    PulseTriggerInputLocked(nowMs);
}

// The pulses are counted lazily, like the free-running frames: every call that may change
// the timing advances first, so each pulse meets the mode the camera was in at its time.
void SimulatedCamera::PulseTriggerInputLocked(uint64_t nowMs) {
    const uint64_t period = config_.triggerPeriodMs;
    if (period == 0 || nowMs < nextPulseMs_) return;
    const uint64_t pulses = (nowMs - nextPulseMs_) / period + 1;
    const uint64_t lastPulseMs = nextPulseMs_ + (pulses - 1) * period;
    nextPulseMs_ = lastPulseMs + period;
    if (stream_.Trigger(lastPulseMs, TimingLocked(), pulses)) Notify();
}

bool SimulatedCamera::UnplugLocked(uint64_t nowMs) {
    AddLog(nowMs, LogTarget::Port, LogAccess::Write, kPortUnplug, 0);
    const bool wasPlugged = plugged_;
    plugged_ = false;
    ++plugGeneration_;
    Notify();
    return wasPlugged;
}

void SimulatedCamera::RunPlugHook(bool plugged) const {
    if (plugHook_) plugHook_(plugged);
}

bool SimulatedCamera::Plugged() const {
    std::lock_guard lock(lock_);
    return plugged_;
}

uint32_t SimulatedCamera::PlugGeneration() const {
    std::lock_guard lock(lock_);
    return plugGeneration_;
}

uint64_t SimulatedCamera::AddChangeListener(std::function<void()> listener) {
    std::lock_guard lock(lock_);
    const uint64_t id = nextListenerId_++;
    listeners_.emplace(id, std::move(listener));
    return id;
}

void SimulatedCamera::RemoveChangeListener(uint64_t id) {
    std::lock_guard lock(lock_);
    listeners_.erase(id);
}

ControlResult SimulatedCamera::Control(const SetupPacket &setup,
                                       std::span<uint8_t, request::kDataAreaBytes> data,
                                       uint64_t nowMs) {
    std::lock_guard lock(lock_);
    if (!plugged_) return {};
    AdvanceLocked(nowMs);
    return DispatchRequestLocked(setup, data, nowMs);
}

BulkReadResult SimulatedCamera::BulkRead(uint8_t endpoint, std::span<uint8_t> out, uint64_t nowMs) {
    BulkReadResult result;
    bool left = false;
    {
        std::lock_guard lock(lock_);
        if (!plugged_ || endpoint != endpoint::kFrameIn) return {};
        AdvanceLocked(nowMs);
        result = stream_.Read(out, *this);
        const FrameTiming timing = TimingLocked();
        if (!result.ready && config_.triggerPeriodMs > 0 && timing.external &&
            timing.sensorExternal) {
            result.retryAtMs =
                result.retryAtMs ? std::min(*result.retryAtMs, nextPulseMs_) : nextPulseMs_;
        }
        if (config_.unplugAfterFrames > 0 &&
            stream_.FramesDelivered() >= config_.unplugAfterFrames) {
            left = UnplugLocked(nowMs);
        }
    }
    if (left) RunPlugHook(false);
    return result;
}

bool SimulatedCamera::BulkWrite(uint8_t endpoint, std::span<const uint8_t> data, uint64_t nowMs) {
    std::lock_guard lock(lock_);
    if (!plugged_ || endpoint != endpoint::kCommandOut) return false;
    AddLog(nowMs, LogTarget::Port, LogAccess::Write, kPortBulkOut,
           static_cast<uint32_t>(data.size()));
    return true;
}

void SimulatedCamera::AbortPipe(uint8_t endpoint, uint64_t nowMs) {
    std::lock_guard lock(lock_);
    AddLog(nowMs, LogTarget::Port, LogAccess::Write, kPortAbortPipe, endpoint);
    Notify();
}

void SimulatedCamera::ResetPipe(uint8_t endpoint, uint64_t nowMs) {
    std::lock_guard lock(lock_);
    AddLog(nowMs, LogTarget::Port, LogAccess::Write, kPortResetPipe, endpoint);
    if (endpoint == endpoint::kFrameIn) stream_.ResetPipe();
    Notify();
}

void SimulatedCamera::ResetParentPort(uint64_t nowMs) {
    std::lock_guard lock(lock_);
    AddLog(nowMs, LogTarget::Port, LogAccess::Write, kPortResetParentPort, 0);
    // The FX3 re-enumerates; the FPGA and sensor keep power and registers.
    stream_.Stop();
    Notify();
}

bool SimulatedCamera::FireTrigger(uint64_t nowMs) {
    std::lock_guard lock(lock_);
    if (!plugged_) return false;
    AdvanceLocked(nowMs);
    const bool taken = stream_.Trigger(nowMs, TimingLocked());
    if (taken) Notify();
    return taken;
}

void SimulatedCamera::Unplug(uint64_t nowMs) {
    bool left = false;
    {
        std::lock_guard lock(lock_);
        left = UnplugLocked(nowMs);
    }
    if (left) RunPlugHook(false);
}

void SimulatedCamera::Replug(uint64_t nowMs) {
    {
        std::lock_guard lock(lock_);
        if (plugged_) return;
        plugged_ = true;
        AddLog(nowMs, LogTarget::Port, LogAccess::Write, kPortReplug, 0);
        PowerUpLocked(nowMs);
        Notify();
    }
    RunPlugHook(true);
}

void SimulatedCamera::InjectLostHeaders(uint32_t count) {
    std::lock_guard lock(lock_);
    stream_.LoseHeaders(count);
}

void SimulatedCamera::InjectShortPayloads(uint32_t count, uint32_t missingBytes) {
    std::lock_guard lock(lock_);
    stream_.ShortenPayloads(count, missingBytes);
}

void SimulatedCamera::InjectSkippedFrameCounts(uint32_t frames) {
    std::lock_guard lock(lock_);
    stream_.SkipFrameCounts(frames);
}

void SimulatedCamera::InjectI2cNak(uint8_t address, int32_t count) {
    std::lock_guard lock(lock_);
    nakAddress_ = address & static_cast<uint8_t>(~i2c::kReadBit);
    nakCount_ = count;
}

void SimulatedCamera::SetBusyBitStuck(bool stuck) {
    std::lock_guard lock(lock_);
    busyStuck_ = stuck;
}

void SimulatedCamera::StickSensorReadBack(uint16_t address, uint8_t value) {
    std::lock_guard lock(lock_);
    sensor_.StickReadBack(address, value);
}

void SimulatedCamera::SetIdentityWriteProtected(bool on) {
    std::lock_guard lock(lock_);
    srom_.SetWriteProtected(on);
}

void SimulatedCamera::SetFpgaNeverReady(bool never) {
    std::lock_guard lock(lock_);
    fpgaNeverReady_ = never;
}

void SimulatedCamera::SetFpgaBootDelay(uint32_t ms) {
    std::lock_guard lock(lock_);
    fpgaBootDelayMs_ = ms;
}

void SimulatedCamera::ClearFaults() {
    std::lock_guard lock(lock_);
    stream_.LoseHeaders(0);
    stream_.ShortenPayloads(0, 0);
    stream_.SkipFrameCounts(0);
    nakCount_ = 0;
    busyStuck_ = false;
    fpgaNeverReady_ = false;
    sensor_.ClearStuckReadBacks();
    srom_.SetWriteProtected(false);
}

void SimulatedCamera::SetScene(SceneKind kind, uint16_t uniformLevel) {
    std::lock_guard lock(lock_);
    scene_.SetPattern(kind, uniformLevel);
}

void SimulatedCamera::SetSceneImage(std::vector<uint16_t> pixels, uint32_t width, uint32_t height) {
    std::lock_guard lock(lock_);
    scene_.SetImage(std::move(pixels), width, height);
}

std::vector<LogEntry> SimulatedCamera::Log() const {
    std::lock_guard lock(lock_);
    return log_.Entries();
}

void SimulatedCamera::ClearLog() {
    std::lock_guard lock(lock_);
    log_.Clear();
}

uint8_t SimulatedCamera::FpgaRegister(uint8_t reg, uint64_t nowMs) {
    std::lock_guard lock(lock_);
    AdvanceLocked(nowMs);
    return FpgaValueLocked(reg, nowMs);
}

uint8_t SimulatedCamera::SensorRegister(uint16_t address) const {
    std::lock_guard lock(lock_);
    return sensor_.Stored(address);
}

uint8_t SimulatedCamera::SromByte(uint16_t address) const {
    std::lock_guard lock(lock_);
    return srom_.Byte(address);
}

uint32_t SimulatedCamera::FrameCounter(uint64_t nowMs) {
    std::lock_guard lock(lock_);
    AdvanceLocked(nowMs);
    return stream_.FrameCounter();
}

double SimulatedCamera::FramePeriodMs() const {
    std::lock_guard lock(lock_);
    return sensor_.FramePeriodMs();
}

double SimulatedCamera::TemperatureCelsius(uint64_t nowMs) {
    std::lock_guard lock(lock_);
    TemperatureSampleLocked(nowMs);
    return temperatureC_;
}

uint16_t SimulatedCamera::TemperatureSampleLocked(uint64_t nowMs) {
    const double target = config_.model->cooled && fpga_.PeltierOn() ? kCooledC : kAmbientC;
    if (nowMs > temperatureAtMs_) {
        const double elapsed = static_cast<double>(nowMs - temperatureAtMs_);
        temperatureC_ =
            target + (temperatureC_ - target) * std::exp(-elapsed / kThermalTimeConstantMs);
        temperatureAtMs_ = nowMs;
    }
    // 12-bit two's complement in eighths of a degree.
    const long eighths = std::lround(temperatureC_ * 8.0);
    return static_cast<uint16_t>(eighths & 0xFFF);
}

bool SimulatedCamera::FpgaReadyLocked(uint64_t nowMs) const {
    return !fpgaNeverReady_ && !fpga_.InReset() && nowMs >= fpgaReadyAtMs_;
}

// The sensor reads out its window (OutputWidth x OutputHeight); the FPGA forwards it in
// the geometry of its own registers: each row cut or padded with zeros to the FPGA's width
// (also padded where the line period was too short for the samples at the FPGA's sample
// width), and at most the FPGA's height in rows. A sensor frame of fewer rows ends early: the
// header states the shorter payload and height.
size_t SimulatedCamera::Compose(uint32_t frameCounter, uint64_t timeMs, FrameHeader &header) {
    const size_t sampleBytes = fpga_.WideSamples() ? 2 : 1;
    payloadWidth_ = fpga_.FrameWidth();
    const size_t rowBytes = static_cast<size_t>(payloadWidth_) * sampleBytes;
    const size_t samplesPerLine = sensor_.LineCapacityBytes() / sampleBytes;
    forwardedSamples_ = static_cast<uint32_t>(
        std::min<size_t>({sensor_.OutputWidth(), payloadWidth_, samplesPerLine}));

    RenderRequest request;
    request.width = sensor_.OutputWidth();
    request.height = std::min(sensor_.OutputHeight(), fpga_.FrameHeight());
    if (rowBytes > 0 && rowBytes * request.height > kMaxPayloadBytes) {
        request.height = static_cast<uint32_t>(kMaxPayloadBytes / rowBytes);
    }
    request.originX = sensor_.ReadoutX();
    request.originY = sensor_.ReadoutY();
    request.step = sensor_.SubsampledReadout() ? 2 : 1;
    request.mirrorH = sensor_.MirrorH();
    request.mirrorV = sensor_.MirrorV();
    request.signalScale =
        sensor_.ExposureUs() / SyntheticScene::kReferenceExposureUs * sensor_.GainFactor();
    request.blackLevel = sensor_.BlackLevel();
    // Without temporal noise the picture holds still as well: the target stays where it
    // starts.
    request.noiseSigma =
        config_.noise ? kNoiseSigmaAtUnityGain * std::sqrt(sensor_.GainFactor()) : 0.0;
    request.frameIndex = frameCounter;
    request.timeMs = config_.noise ? timeMs : 0;
    latched_ = request;
    latchedWide_ = fpga_.WideSamples();

    const uint32_t exposureLines = sensor_.ExposureLines();
    std::memcpy(header.data() + header::kExposureLinesOffset, &exposureLines, 4);
    std::memcpy(header.data() + header::kWidthOffset, &payloadWidth_, 4);
    std::memcpy(header.data() + header::kHeightOffset, &request.height, 4);
    return rowBytes * request.height;
}

template <typename Sample>
std::span<const uint8_t> SimulatedCamera::RenderPayload(std::vector<Sample> &payload,
                                                        std::vector<Sample> &sensorRows) {
    const size_t rows = latched_.height;
    payload.resize(static_cast<size_t>(payloadWidth_) * rows);
    auto render = [&](std::span<Sample> out) {
        if constexpr (sizeof(Sample) == 2) {
            scene_.RenderWide(latched_, out);
        } else {
            scene_.RenderNarrow(latched_, out);
        }
    };
    if (latched_.width == payloadWidth_ && forwardedSamples_ == payloadWidth_) {
        render(payload);  // sensor and FPGA agree: the rows go through unchanged
    } else {
        sensorRows.resize(static_cast<size_t>(latched_.width) * rows);
        render(sensorRows);
        for (size_t r = 0; r < rows; ++r) {
            const Sample *from = sensorRows.data() + r * latched_.width;
            Sample *to = payload.data() + r * payloadWidth_;
            std::copy(from, from + forwardedSamples_, to);
            std::fill(to + forwardedSamples_, to + payloadWidth_, Sample{0});
        }
    }
    // Viewing the samples as bytes: little-endian on the wire, as on this host.
    return {reinterpret_cast<const uint8_t *>(payload.data()), payload.size() * sizeof(Sample)};
}

std::span<const uint8_t> SimulatedCamera::Render() {
    return latchedWide_ ? RenderPayload(wideFrame_, wideSensorRows_)
                        : RenderPayload(narrowFrame_, narrowSensorRows_);
}

}  // namespace korvix::sim
