#include "sim/SyntheticScene.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace korvix::sim {

namespace {

uint64_t SplitMix64(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint64_t Hash(uint64_t seed, uint64_t a, uint64_t b = 0, uint64_t c = 0) {
    return SplitMix64(SplitMix64(SplitMix64(seed ^ a) ^ b) ^ c);
}

// Uniform in [0, 1).
double Unit(uint64_t hash) {
    return static_cast<double>(hash >> 11) * 0x1.0p-53;
}

// Smoothly interpolated lattice noise in [-1, 1] along one axis, lattice spacing `spacing`.
std::vector<float> ValueNoise1D(uint32_t length, uint32_t spacing, uint64_t seed, uint64_t salt) {
    std::vector<float> values(length);
    for (uint32_t i = 0; i < length; ++i) {
        const uint32_t cell = i / spacing;
        const double t = static_cast<double>(i % spacing) / spacing;
        const double smooth = t * t * (3.0 - 2.0 * t);
        const double a = Unit(Hash(seed, salt, cell)) * 2.0 - 1.0;
        const double b = Unit(Hash(seed, salt, cell + 1)) * 2.0 - 1.0;
        values[i] = static_cast<float>(a + (b - a) * smooth);
    }
    return values;
}

constexpr uint32_t kOctaves = 9;             // lattice spacings 2, 4, ... 512 pixels
constexpr size_t kNoiseOffsets = 1u << 16;   // distinct row starts in the noise table
constexpr size_t kMaxRowSamples = 1u << 16;  // FPGA widths are 16-bit
constexpr float kHotRadiance = 16000.0f;     // saturates at any usable exposure
constexpr double kTargetRadiance = 2400.0;
constexpr double kTargetPeriodXMs = 7300.0;
constexpr double kTargetPeriodYMs = 5100.0;
constexpr uint32_t kCounterBytes = 4;  // the FPGA's frame counter is 32 bits

template <typename Sample>
Sample FromTwelveBits(int value) {
    value = std::clamp(value, 0, static_cast<int>(kSampleMax));
    if constexpr (sizeof(Sample) == 1) {
        return static_cast<Sample>(value >> 4);
    } else {
        return static_cast<Sample>(value);
    }
}

// Stamps the frame counter into the frame: its bytes, least significant first, as 12-bit
// samples byte << 4, which 8-bit read-out (the top 8 of the 12 bits) turns back into the
// byte itself. The stamp runs inwards from both ends of the first and of the last row, so
// mirroring the rows or reversing their order (the sensor's mirrors, the library's
// orientation) always leaves one copy reading from the top-left corner. Frames narrower
// than two stamps carry none.
template <typename Sample>
void StampCounter(uint32_t counter, uint32_t width, uint32_t height, Sample *out) {
    if (width < 2 * kCounterBytes || height == 0) return;
    for (Sample *row : {out, out + static_cast<size_t>(height - 1) * width}) {
        for (uint32_t i = 0; i < kCounterBytes; ++i) {
            const Sample byte = FromTwelveBits<Sample>(((counter >> (8 * i)) & 0xFF) << 4);
            row[i] = byte;
            row[width - 1 - i] = byte;
        }
    }
}

}  // namespace

SyntheticScene::SyntheticScene(uint32_t arrayWidth, uint32_t arrayHeight, uint64_t seed)
    : arrayWidth_(arrayWidth), arrayHeight_(arrayHeight), seed_(seed) {}

void SyntheticScene::SetPattern(SceneKind kind, uint16_t uniformLevel) {
    kind_ = kind;
    uniformLevel_ = std::min(uniformLevel, kSampleMax);
}

void SyntheticScene::SetImage(std::vector<uint16_t> pixels, uint32_t width, uint32_t height) {
    for (uint16_t &pixel : pixels) pixel = std::min(pixel, kSampleMax);
    image_ = std::move(pixels);
    imageWidth_ = width;
    imageHeight_ = height;
    kind_ = SceneKind::Image;
}

uint16_t SyntheticScene::RadianceAt(uint32_t x, uint32_t y) {
    if (radiance_.empty()) BuildRadiance();
    if (x >= arrayWidth_ || y >= arrayHeight_) return 0;
    return radiance_[static_cast<size_t>(y) * arrayWidth_ + x];
}

void SyntheticScene::BuildRadiance() {
    const uint32_t w = arrayWidth_;
    const uint32_t h = arrayHeight_;
    std::vector<float> field(static_cast<size_t>(w) * h);

    // Texture at every scale: per octave a product of two 1-D noises, so each row is one
    // multiply-add over a precomputed column profile.
    std::vector<std::vector<float>> columns(kOctaves), rows(kOctaves);
    std::vector<float> amplitude(kOctaves);
    for (uint32_t k = 0; k < kOctaves; ++k) {
        const uint32_t spacing = 2u << k;
        columns[k] = ValueNoise1D(w, spacing, seed_, 2 * k);
        rows[k] = ValueNoise1D(h, spacing, seed_, 2 * k + 1);
        amplitude[k] = static_cast<float>(90.0 + 420.0 * std::pow(spacing / 512.0, 0.6));
    }
    for (uint32_t y = 0; y < h; ++y) {
        float *row = &field[static_cast<size_t>(y) * w];
        const float ground = 800.0f + 700.0f * static_cast<float>(y) / static_cast<float>(h);
        std::fill(row, row + w, ground);
        for (uint32_t k = 0; k < kOctaves; ++k) {
            const float weight = amplitude[k] * rows[k][y];
            const float *profile = columns[k].data();
            for (uint32_t x = 0; x < w; ++x) row[x] += weight * profile[x];
        }
    }

    // Objects: rectangles and discs from a few pixels to a quarter of the array, warmer or
    // cooler than their surroundings.
    for (uint32_t i = 0; i < 72; ++i) {
        const double size = 3.0 * std::pow(w / 12.0, Unit(Hash(seed_, 100, i, 0)));
        const uint32_t ow = std::max(2u, static_cast<uint32_t>(size));
        const uint32_t oh =
            std::max(2u, static_cast<uint32_t>(size * (0.4 + Unit(Hash(seed_, 100, i, 1)))));
        const uint32_t ox = static_cast<uint32_t>(Unit(Hash(seed_, 100, i, 2)) * w);
        const uint32_t oy = static_cast<uint32_t>(Unit(Hash(seed_, 100, i, 3)) * h);
        const float level = static_cast<float>(Unit(Hash(seed_, 100, i, 4)) * 1300.0 - 550.0);
        const bool disc = (i % 3) == 0;
        for (uint32_t y = oy; y < std::min(h, oy + oh); ++y) {
            for (uint32_t x = ox; x < std::min(w, ox + ow); ++x) {
                if (disc) {
                    const double dx = (x - ox + 0.5) / ow - 0.5, dy = (y - oy + 0.5) / oh - 0.5;
                    if (dx * dx + dy * dy > 0.25) continue;
                }
                field[static_cast<size_t>(y) * w + x] += level;
            }
        }
    }

    // A bar target: groups of bars with periods from 2 to 32 pixels.
    const uint32_t barTop = h * 5 / 8, barHeight = std::max(8u, h / 12);
    uint32_t barX = w / 16;
    for (uint32_t period : {2u, 3u, 4u, 6u, 8u, 12u, 16u, 24u, 32u}) {
        for (uint32_t x = barX; x < std::min(w, barX + period * 5); ++x) {
            const bool bright = (x - barX) % period < (period + 1) / 2;
            for (uint32_t y = barTop; y < std::min(h, barTop + barHeight); ++y) {
                field[static_cast<size_t>(y) * w + x] = bright ? 2600.0f : 500.0f;
            }
        }
        barX += period * 5 + 12;
    }

    // Pixel response non-uniformity (+-2 %), then hot and dead pixels.
    radiance_.resize(field.size());
    for (size_t i = 0; i < field.size(); ++i) {
        const float prnu = 1.0f + static_cast<float>((Unit(Hash(seed_, 200, i)) - 0.5) * 0.04);
        radiance_[i] = static_cast<uint16_t>(std::clamp(field[i] * prnu, 0.0f, 65535.0f));
    }
    const size_t defects = std::max<size_t>(4, field.size() / 20000);
    for (size_t i = 0; i < defects; ++i) {
        const size_t index = Hash(seed_, 300, i) % field.size();
        radiance_[index] = (i % 2) == 0 ? static_cast<uint16_t>(kHotRadiance) : 0;
    }

    // Column offsets (dark signal non-uniformity), +-6 DN.
    columnOffset_.resize(w);
    for (uint32_t x = 0; x < w; ++x) {
        columnOffset_[x] =
            static_cast<int16_t>(std::lround((Unit(Hash(seed_, 400, x)) - 0.5) * 12.0));
    }
}

void SyntheticScene::BuildNoise(double sigma) {
    noise_.resize(kNoiseOffsets + kMaxRowSamples);
    for (size_t i = 0; i < noise_.size(); i += 2) {
        // Box-Muller: two normal deviates from two uniforms.
        const double u1 = std::max(Unit(Hash(seed_, 500, i)), 1e-12);
        const double u2 = Unit(Hash(seed_, 501, i));
        const double radius = std::sqrt(-2.0 * std::log(u1)) * sigma;
        const double angle = 2.0 * std::numbers::pi * u2;
        noise_[i] =
            static_cast<int16_t>(std::clamp(std::lround(radius * std::cos(angle)), -2000l, 2000l));
        noise_[i + 1] =
            static_cast<int16_t>(std::clamp(std::lround(radius * std::sin(angle)), -2000l, 2000l));
    }
    noiseSigma_ = sigma;
}

void SyntheticScene::BuildExposed(const ExposedKey &key) {
    exposed_.resize(static_cast<size_t>(key.width) * key.height);
    for (uint32_t r = 0; r < key.height; ++r) {
        const uint64_t ay =
            key.originY + static_cast<uint64_t>(key.step) * (key.mirrorV ? key.height - 1 - r : r);
        uint16_t *row = &exposed_[static_cast<size_t>(r) * key.width];
        for (uint32_t c = 0; c < key.width; ++c) {
            const uint64_t ax = key.originX + static_cast<uint64_t>(key.step) *
                                                  (key.mirrorH ? key.width - 1 - c : c);
            if (ax >= arrayWidth_ || ay >= arrayHeight_) {
                row[c] = key.blackLevel;  // outside the array: no light
                continue;
            }
            const double signal = radiance_[ay * arrayWidth_ + ax] * key.signalScale;
            const double value = signal + key.blackLevel + columnOffset_[ax];
            row[c] = static_cast<uint16_t>(std::clamp(value, 0.0, static_cast<double>(kSampleMax)));
        }
    }
    exposedKey_ = key;
    exposedValid_ = true;
}

size_t SyntheticScene::NoiseOffset(uint64_t frameIndex, uint32_t row) const {
    return Hash(seed_, 600 + frameIndex, row) % kNoiseOffsets;
}

template <typename Sample>
void SyntheticScene::RenderSynthetic(const RenderRequest &request, Sample *out) {
    if (radiance_.empty()) BuildRadiance();
    if (noiseSigma_ != request.noiseSigma) BuildNoise(request.noiseSigma);
    const ExposedKey key{request.width,   request.height,      request.originX,
                         request.originY, request.step,        request.mirrorH,
                         request.mirrorV, request.signalScale, request.blackLevel};
    if (!exposedValid_ || !(key == exposedKey_)) BuildExposed(key);

    const uint32_t w = request.width, h = request.height;
    for (uint32_t r = 0; r < h; ++r) {
        const uint16_t *base = &exposed_[static_cast<size_t>(r) * w];
        const int16_t *noise = &noise_[NoiseOffset(request.frameIndex, r)];
        Sample *row = out + static_cast<size_t>(r) * w;
        for (uint32_t c = 0; c < w; ++c) row[c] = FromTwelveBits<Sample>(base[c] + noise[c]);
    }

    // The moving target, a warm disc, patched into the rows it covers.
    const double t = static_cast<double>(request.timeMs);
    const double cx =
        arrayWidth_ * (0.5 + 0.36 * std::sin(2 * std::numbers::pi * t / kTargetPeriodXMs));
    const double cy =
        arrayHeight_ * (0.5 + 0.3 * std::sin(2 * std::numbers::pi * t / kTargetPeriodYMs + 0.7));
    const double radius = std::max(4.0, arrayHeight_ / 24.0);
    const int boost = static_cast<int>(std::lround(kTargetRadiance * request.signalScale));
    const double step = request.step;
    // Payload columns/rows whose array position can fall inside the disc.
    const double firstC = std::floor((cx - radius - request.originX) / step);
    const double lastC = std::ceil((cx + radius - request.originX) / step);
    const double firstR = std::floor((cy - radius - request.originY) / step);
    const double lastR = std::ceil((cy + radius - request.originY) / step);
    for (double rr = std::max(0.0, firstR); rr <= std::min<double>(h - 1.0, lastR); ++rr) {
        const uint32_t unmirroredR = static_cast<uint32_t>(rr);
        const uint32_t r = request.mirrorV ? h - 1 - unmirroredR : unmirroredR;
        const double dy = request.originY + step * unmirroredR - cy;
        const uint16_t *base = &exposed_[static_cast<size_t>(r) * w];
        const int16_t *noise = &noise_[NoiseOffset(request.frameIndex, r)];
        Sample *row = out + static_cast<size_t>(r) * w;
        for (double cc = std::max(0.0, firstC); cc <= std::min<double>(w - 1.0, lastC); ++cc) {
            const uint32_t unmirroredC = static_cast<uint32_t>(cc);
            const double dx = request.originX + step * unmirroredC - cx;
            if (dx * dx + dy * dy > radius * radius) continue;
            const uint32_t c = request.mirrorH ? w - 1 - unmirroredC : unmirroredC;
            row[c] = FromTwelveBits<Sample>(base[c] + noise[c] + boost);
        }
    }
}

template <typename Sample>
void SyntheticScene::RenderPattern(const RenderRequest &request, Sample *out) const {
    const uint32_t w = request.width, h = request.height;
    for (uint32_t r = 0; r < h; ++r) {
        Sample *row = out + static_cast<size_t>(r) * w;
        for (uint32_t c = 0; c < w; ++c) {
            int value = 0;
            switch (kind_) {
                case SceneKind::Uniform:
                    value = uniformLevel_;
                    break;
                case SceneKind::Ramp:
                case SceneKind::Counter:
                    value = w > 1 ? static_cast<int>(uint64_t{c} * kSampleMax / (w - 1)) : 0;
                    break;
                case SceneKind::Image:
                    value = imageWidth_ == 0 || imageHeight_ == 0
                                ? 0
                                : image_[static_cast<size_t>(r % imageHeight_) * imageWidth_ +
                                         c % imageWidth_];
                    break;
                case SceneKind::Synthetic:
                    break;
            }
            row[c] = FromTwelveBits<Sample>(value);
        }
    }
    if (kind_ == SceneKind::Counter) {
        StampCounter(static_cast<uint32_t>(request.frameIndex), w, h, out);
    }
}

template <typename Sample>
void SyntheticScene::Render(const RenderRequest &request, Sample *out) {
    if (kind_ == SceneKind::Synthetic) {
        RenderSynthetic(request, out);
    } else {
        RenderPattern(request, out);
    }
}

void SyntheticScene::RenderWide(const RenderRequest &request, std::span<uint16_t> out) {
    if (out.size() < static_cast<size_t>(request.width) * request.height) return;
    Render(request, out.data());
}

void SyntheticScene::RenderNarrow(const RenderRequest &request, std::span<uint8_t> out) {
    if (out.size() < static_cast<size_t>(request.width) * request.height) return;
    Render(request, out.data());
}

}  // namespace korvix::sim
