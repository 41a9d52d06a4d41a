#pragma once

// One simulated camera: the FX3 bridge (vendor requests, I2C bus, bulk endpoints, pipe and
// port operations), the FPGA, the identity EEPROM, the sensor and the scene, as seen from
// the USB cable. Transport-free: the driver-port adapter turns driver records into the
// calls below, and tests reach in through the same object to fire triggers, inject faults
// and read registers.
//
// Time: every call takes the current time in ms (the platform clock's TickCount, as the
// adapter and the Simulator read it), so the model itself never reads a clock.
// Threads: thread-safe; every public call takes the camera's lock. Change listeners are
// called with the lock held and must only signal (take no lock that is held while calling
// into the camera).

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "sim/CameraList.h"
#include "sim/FpgaModel.h"
#include "sim/FrameStream.h"
#include "sim/IdentityEeprom.h"
#include "sim/RegisterLog.h"
#include "sim/SensorModel.h"
#include "sim/SyntheticScene.h"

namespace korvix::sim {

// The setup part of a control request.
struct SetupPacket {
    uint8_t requestType = 0;
    uint8_t request = 0;
    uint16_t value = 0;
    uint16_t index = 0;
};

struct ControlResult {
    bool ok = false;       // false: the request stalled (unknown request, NAK, unplugged)
    size_t dataBytes = 0;  // bytes of the 64-byte data area the device returned or took
};

class SimulatedCamera final : private FrameComposer {
  public:
    SimulatedCamera(const CameraConfig &config, uint64_t nowMs);
    ~SimulatedCamera() override;

    const CameraConfig &Config() const { return config_; }
    uint16_t ProductId() const { return config_.model->productId; }

    // ---- The USB side ----
    // data: the 64-byte data area, read for host-to-device requests, written for
    // device-to-host requests.
    ControlResult Control(const SetupPacket &setup,
                          std::span<uint8_t, request::kDataAreaBytes> data, uint64_t nowMs);
    BulkReadResult BulkRead(uint8_t endpoint, std::span<uint8_t> out, uint64_t nowMs);
    // Bulk OUT on endpoint 0x01; false when the camera is unplugged or the endpoint unknown.
    bool BulkWrite(uint8_t endpoint, std::span<const uint8_t> data, uint64_t nowMs);
    void AbortPipe(uint8_t endpoint, uint64_t nowMs);
    void ResetPipe(uint8_t endpoint, uint64_t nowMs);
    void ResetParentPort(uint64_t nowMs);
    uint32_t LinkSpeed() const { return config_.linkSpeed; }
    bool Plugged() const;
    // Changes with every unplug; handles opened before it are dead.
    uint32_t PlugGeneration() const;

    // Listeners are called when something may let a pending bulk read complete or fail
    // (arm, trigger, restart, abort, unplug, re-plug). Returns an id for removal; after
    // RemoveChangeListener returns, the listener is not running and will not be called.
    uint64_t AddChangeListener(std::function<void()> listener);
    void RemoveChangeListener(uint64_t id);

    // Called after every plug state change (unplug, re-plug, or the camera leaving after
    // its unplug_after frames) with the new state, on the thread that caused it, with no lock
    // of the camera held. Set once, before the camera is shared.
    void SetPlugHook(std::function<void(bool plugged)> hook) { plugHook_ = std::move(hook); }

    // ---- Test control ----
    // False unless the FPGA and the sensor are both in external-trigger mode.
    bool FireTrigger(uint64_t nowMs);
    void Unplug(uint64_t nowMs);
    void Replug(uint64_t nowMs);  // power cycle: FPGA and sensor back to power-up values

    void InjectLostHeaders(uint32_t count);
    void InjectShortPayloads(uint32_t count, uint32_t missingBytes);
    // The next frame's counter jumps `frames` beyond the previous one (frames lost in the
    // camera: the host sees a gap in the frame counter).
    void InjectSkippedFrameCounts(uint32_t frames);
    // NAK the next `count` transfers to an I2C device (8-bit address, either form);
    // count < 0: until cleared.
    void InjectI2cNak(uint8_t address, int32_t count);
    void SetBusyBitStuck(bool stuck);
    void StickSensorReadBack(uint16_t address, uint8_t value);
    void SetIdentityWriteProtected(bool on);  // the EEPROM acknowledges writes, stores none
    void SetFpgaNeverReady(bool never);
    void SetFpgaBootDelay(uint32_t ms);  // ready flag after power-up or reset; default 0
    void ClearFaults();

    void SetScene(SceneKind kind, uint16_t uniformLevel = 0);
    void SetSceneImage(std::vector<uint16_t> pixels, uint32_t width, uint32_t height);

    std::vector<LogEntry> Log() const;
    void ClearLog();
    // Current values as the host would read them now (not logged).
    uint8_t FpgaRegister(uint8_t reg, uint64_t nowMs);
    uint8_t SensorRegister(uint16_t address) const;
    uint8_t SromByte(uint16_t address) const;
    uint32_t FrameCounter(uint64_t nowMs);
    double FramePeriodMs() const;  // from the sensor registers now
    double TemperatureCelsius(uint64_t nowMs);

  private:
    // FrameComposer: the payload the registers describe at latch time.
    size_t Compose(uint32_t frameCounter, uint64_t timeMs, FrameHeader &header) override;
    std::span<const uint8_t> Render() override;

    // All below run with lock_ held.
    void AdvanceLocked(uint64_t nowMs);
    // Pulses of the trigger=MS input due up to now.
    void PulseTriggerInputLocked(uint64_t nowMs);
    // Marks the camera unplugged; true when it was plugged (the caller then runs the hook).
    bool UnplugLocked(uint64_t nowMs);
    void RunPlugHook(bool plugged) const;
    FrameTiming TimingLocked() const;
    void PowerUpLocked(uint64_t nowMs);
    void Notify();
    void AddLog(uint64_t nowMs, LogTarget target, LogAccess access, uint16_t address,
                uint32_t value);

    // Vendor requests and the I2C bus (SimulatedCameraRequests.cpp).
    ControlResult DispatchRequestLocked(const SetupPacket &setup,
                                        std::span<uint8_t, request::kDataAreaBytes> data,
                                        uint64_t nowMs);
    bool I2cWriteLocked(uint8_t address, std::span<const uint8_t> bytes, uint64_t nowMs);
    bool I2cReadLocked(uint8_t address, std::span<uint8_t> out, uint64_t nowMs);
    bool NakLocked(uint8_t address);
    bool SensorWriteAcceptedLocked(uint16_t address, uint8_t value, uint64_t nowMs);
    void FpgaWriteLocked(uint8_t reg, uint8_t value, uint64_t nowMs);
    uint8_t FpgaReadLocked(uint8_t reg, uint64_t nowMs);  // as the host reads it: logged
    uint8_t FpgaValueLocked(uint8_t reg, uint64_t nowMs);
    bool FpgaReadyLocked(uint64_t nowMs) const;
    uint16_t TemperatureSampleLocked(uint64_t nowMs);

    const CameraConfig config_;
    mutable std::mutex lock_;  // guards everything below

    FpgaModel fpga_;
    SensorModel sensor_;
    IdentityEeprom srom_;
    SyntheticScene scene_;
    FrameStream stream_;
    RegisterLog log_;
    std::map<uint64_t, std::function<void()>> listeners_;
    uint64_t nextListenerId_ = 1;

    std::function<void(bool)> plugHook_;
    bool plugged_ = true;
    uint64_t nextPulseMs_ = 0;  // trigger=MS: time of the next pulse on the trigger input
    uint32_t plugGeneration_ = 0;
    uint64_t fpgaReadyAtMs_ = 0;
    uint32_t fpgaBootDelayMs_ = 0;

    // I2C pointers of the FPGA and auxiliary device, and the auxiliary registers.
    uint8_t fpgaPointer_ = 0;
    uint8_t auxPointer_ = 0;
    std::array<uint8_t, 256> auxRegisters_{};
    uint16_t sensorPointer_ = 0;

    // Opaque FX3 requests: stored and answered back.
    uint8_t byte3C_ = 0;
    std::pair<uint16_t, uint16_t> wordPair_{};
    std::map<uint16_t, uint32_t> registers32_;

    // Faults.
    uint8_t nakAddress_ = 0;
    int32_t nakCount_ = 0;
    bool busyStuck_ = false;
    bool fpgaNeverReady_ = false;

    // Sensor temperature: relaxes towards ambient, or towards the cooler's set point.
    double temperatureC_;
    uint64_t temperatureAtMs_;

    // The frame last composed: what the sensor reads out (latched_), and how the FPGA
    // forwards it (rows of payloadWidth_ samples, of which the first forwardedSamples_ come
    // from the sensor's row and the rest are padding).
    RenderRequest latched_;
    bool latchedWide_ = false;
    uint32_t payloadWidth_ = 0;
    uint32_t forwardedSamples_ = 0;
    template <typename Sample>
    std::span<const uint8_t> RenderPayload(std::vector<Sample> &payload,
                                           std::vector<Sample> &sensorRows);
    // Payload buffers, and the sensor's rows when the FPGA has to cut or pad them; reused
    // from frame to frame.
    std::vector<uint16_t> wideFrame_, wideSensorRows_;
    std::vector<uint8_t> narrowFrame_, narrowSensorRows_;
};

}  // namespace korvix::sim
