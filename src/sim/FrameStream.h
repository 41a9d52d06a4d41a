#pragma once

// The data path of the simulated camera: when the sensor produces frames, which frame an
// armed stream delivers, and how its 64-byte header and payload leave through bulk endpoint
// 0x81.
//
// Production: free-running (FPGA and sensor both free-running), a frame completes every
// frame period (counted from the moment the sensor started running); in external-trigger
// mode (FPGA and sensor both programmed for it), one frame per trigger pulse. When the two
// disagree, no frame is made: the FPGA drops the sensor's free-running frames, or the
// sensor waits for pulses the FPGA never passes on. The FPGA keeps the newest produced
// frame that was not delivered yet.
// Delivery: an arm (request 0xC2) makes the stream wait for that frame; the next read of
// 0x81 latches it and returns the 64-byte header, the following reads return the payload
// (each read at most what it asks for), and after the last payload byte the stream is idle
// until the next arm. Reads with nothing to deliver are "not ready": the caller keeps the
// transfer pending until retryAtMs (when a frame is due) or until something else changes.
// Not thread-safe: the owning camera serialises calls.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "sim/SimRegisterMap.h"

namespace korvix::sim {

struct FrameTiming {
    bool running = true;          // false while the sensor is held in standby
    bool external = false;        // FPGA in external-trigger mode
    bool sensorExternal = false;  // sensor trigger registers in external-trigger read-out
    double periodMs = 0.0;        // free-running frame period
};

using FrameHeader = std::array<uint8_t, header::kBytes>;

// Describes and renders the payload of a produced frame; implemented by the camera.
class FrameComposer {
  public:
    virtual ~FrameComposer() = default;
    // At latch time: fills the header fields other than data length and frame counter,
    // remembers what the registers ask of this frame, and returns its payload size.
    virtual size_t Compose(uint32_t frameCounter, uint64_t timeMs, FrameHeader &header) = 0;
    // Renders the payload of the frame last composed, on its first payload read (a stream
    // that only reads headers never pays for pixels). Valid until the next Render.
    virtual std::span<const uint8_t> Render() = 0;
};

struct BulkReadResult {
    size_t bytes = 0;                   // bytes written to the caller's buffer
    bool ready = false;                 // false: nothing to deliver now
    std::optional<uint64_t> retryAtMs;  // when not ready: time a frame is due, if known
};

class FrameStream {
  public:
    // Produces the free-running frames due up to now. Call before anything that changes the
    // timing, so elapsed time is counted at the old period.
    void Advance(uint64_t nowMs, const FrameTiming &timing);
    // One frame per pulse in external-trigger mode; returns false when the pulses are
    // ignored. Of several pulses (the last at nowMs) all count, the newest frame is held.
    bool Trigger(uint64_t nowMs, const FrameTiming &timing, uint64_t pulses = 1);

    void Arm();
    void Stop();        // request 0xC0: disarm, drop a partly delivered frame
    void ResetPipe();   // endpoint reset: drop a partly delivered frame, disarm
    void Restart();     // sensor restart: drop the held frame, restart the frame timing
    void PowerCycle();  // counter back to 0, everything dropped

    BulkReadResult Read(std::span<uint8_t> out, FrameComposer &composer);

    uint32_t FrameCounter() const { return frameCounter_; }
    // Frames whose last byte (header and whole payload) was read since power-up.
    uint64_t FramesDelivered() const { return framesDelivered_; }
    std::optional<uint64_t> LastFrameTimeMs() const { return lastFrameMs_; }
    bool Armed() const { return state_ != State::Idle; }

    // Faults: the next `count` arms deliver nothing; the next `count` frames end
    // `missingBytes` early (the header still states the full length).
    void LoseHeaders(uint32_t count) { lostHeaders_ = count; }
    void ShortenPayloads(uint32_t count, uint32_t missingBytes);
    // Fault: the next frame produced comes `frames` counts after the previous one, as when
    // the camera drops frames before they reach the FPGA's output.
    void SkipFrameCounts(uint32_t frames) { skippedCounts_ = frames; }

  private:
    enum class State { Idle, Armed, ArmedLost, Header, Payload };

    void Produce(uint64_t timeMs);

    uint32_t frameCounter_ = 0;
    uint64_t framesDelivered_ = 0;
    std::optional<double> nextDueMs_;  // free-running: completion time of the next frame
    std::optional<uint64_t> lastFrameMs_;
    struct Held {
        uint32_t counter;
        uint64_t timeMs;
    };
    std::optional<Held> held_;

    State state_ = State::Idle;
    FrameHeader header_{};
    size_t headerSent_ = 0;
    std::span<const uint8_t> payload_;  // empty until the first payload read renders it
    size_t payloadSize_ = 0;
    size_t payloadDeliverable_ = 0;
    size_t payloadSent_ = 0;

    uint32_t lostHeaders_ = 0;
    uint32_t shortPayloads_ = 0;
    uint32_t shortPayloadMissing_ = 0;
    uint32_t skippedCounts_ = 0;
};

}  // namespace korvix::sim
