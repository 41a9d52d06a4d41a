#include "sim/FrameStream.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace korvix::sim {

static_assert(std::endian::native == std::endian::little,
              "frame headers and 16-bit samples are little-endian on the wire");

namespace {
void PutWord(FrameHeader &header, size_t offset, uint32_t value) {
    std::memcpy(header.data() + offset, &value, sizeof value);
}
}  // namespace

void FrameStream::Produce(uint64_t timeMs) {
    frameCounter_ += 1 + skippedCounts_;
    skippedCounts_ = 0;
    lastFrameMs_ = timeMs;
    held_ = Held{frameCounter_, timeMs};
}

void FrameStream::Advance(uint64_t nowMs, const FrameTiming &timing) {
    if (!timing.running || timing.external || timing.sensorExternal || !(timing.periodMs > 0.0)) {
        nextDueMs_.reset();  // the timing starts afresh when the sensor runs freely again
        return;
    }
    if (!nextDueMs_) {
        nextDueMs_ = static_cast<double>(nowMs) + timing.periodMs;
        return;
    }
    const double now = static_cast<double>(nowMs);
    if (*nextDueMs_ > now) return;
    // Frames due since the last look; only the newest is held, the others just count.
    const double due = std::floor((now - *nextDueMs_) / timing.periodMs) + 1.0;
    const uint64_t skipped = static_cast<uint64_t>(due) - 1;
    frameCounter_ += static_cast<uint32_t>(skipped);
    const double newest = *nextDueMs_ + (due - 1.0) * timing.periodMs;
    Produce(static_cast<uint64_t>(std::ceil(newest)));  // available from the next tick on
    nextDueMs_ = newest + timing.periodMs;
}

bool FrameStream::Trigger(uint64_t nowMs, const FrameTiming &timing, uint64_t pulses) {
    if (!timing.running || !timing.external || !timing.sensorExternal || pulses == 0) {
        return false;
    }
    frameCounter_ += static_cast<uint32_t>(pulses - 1);
    Produce(nowMs);
    return true;
}

void FrameStream::Arm() {
    if (lostHeaders_ > 0) {
        --lostHeaders_;
        state_ = State::ArmedLost;
    } else {
        state_ = State::Armed;
    }
    headerSent_ = payloadSent_ = payloadDeliverable_ = payloadSize_ = 0;
    payload_ = {};
}

void FrameStream::Stop() {
    state_ = State::Idle;
    payload_ = {};
}

void FrameStream::ResetPipe() {
    Stop();
}

void FrameStream::Restart() {
    held_.reset();
    nextDueMs_.reset();
    Stop();
}

void FrameStream::PowerCycle() {
    Restart();
    frameCounter_ = 0;
    framesDelivered_ = 0;
    lastFrameMs_.reset();
    lostHeaders_ = shortPayloads_ = shortPayloadMissing_ = skippedCounts_ = 0;
}

void FrameStream::ShortenPayloads(uint32_t count, uint32_t missingBytes) {
    shortPayloads_ = count;
    shortPayloadMissing_ = missingBytes;
}

BulkReadResult FrameStream::Read(std::span<uint8_t> out, FrameComposer &composer) {
    BulkReadResult result;
    if (state_ == State::Armed && held_) {
        header_.fill(0);
        payload_ = {};
        payloadSize_ = composer.Compose(held_->counter, held_->timeMs, header_);
        PutWord(header_, header::kDataLengthOffset, static_cast<uint32_t>(payloadSize_));
        PutWord(header_, header::kFrameCounterOffset, held_->counter);
        payloadDeliverable_ = payloadSize_;
        if (shortPayloads_ > 0) {
            --shortPayloads_;
            payloadDeliverable_ -= std::min<size_t>(shortPayloadMissing_, payloadDeliverable_);
        }
        held_.reset();
        state_ = State::Header;
    }
    if (state_ == State::Header) {
        const size_t n = std::min(out.size(), header_.size() - headerSent_);
        std::memcpy(out.data(), header_.data() + headerSent_, n);
        headerSent_ += n;
        if (headerSent_ == header_.size()) {
            if (payloadSize_ == 0) {
                ++framesDelivered_;
                Stop();
            } else {
                state_ = State::Payload;
            }
        }
        result.bytes = n;
        result.ready = true;
        return result;
    }
    if (state_ == State::Payload) {
        const size_t n = std::min(out.size(), payloadDeliverable_ - payloadSent_);
        if (n > 0 || out.empty()) {
            if (payload_.empty()) payload_ = composer.Render();
            std::memcpy(out.data(), payload_.data() + payloadSent_, n);
            payloadSent_ += n;
            if (payloadSent_ == payloadSize_) {
                ++framesDelivered_;
                Stop();
            }
            result.bytes = n;
            result.ready = true;
        }
        return result;  // a short payload leaves the rest pending for ever
    }
    if (state_ == State::Armed && nextDueMs_) {
        result.retryAtMs = static_cast<uint64_t>(std::ceil(*nextDueMs_));
    }
    return result;
}

}  // namespace korvix::sim
