#pragma once

// The picture a simulated camera sees and the read-out that turns it into samples.
//
// The synthetic scene is a fixed short-wave-infrared radiance map over the whole sensor
// array (a warm ground gradient, texture at every scale from 2 to 512 pixels, bright and dark
// objects, a bar target), with per-pixel response non-uniformity, per-column offsets and
// hot and dead pixels baked in, plus a warm target that moves across it with time. A frame
// is radiance x exposure x gain + black level + seeded temporal noise, clamped to 12 bits.
// The test patterns (uniform, ramp, frame counter, supplied image) are emitted exactly, free
// of noise; the counter pattern carries request.frameIndex.
//
// Cost: everything that does not change from frame to frame (radiance, exposed image for
// the current window and settings, noise table) is precomputed; a frame is one pass that
// adds a noise row and clamps, plus the target's small bounding box. Not thread-safe: the
// owning camera serialises calls.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/CameraList.h"

namespace korvix::sim {

// What the sensor and FPGA registers ask of one frame.
struct RenderRequest {
    uint32_t width = 0;    // samples per row of the payload
    uint32_t height = 0;   // rows of the payload
    uint32_t originX = 0;  // sensor-array column of payload column 0 (before mirroring)
    uint32_t originY = 0;  // sensor-array row of payload row 0 (before mirroring)
    uint32_t step = 1;     // 2 for sub-sampled or binned read-out
    bool mirrorH = false;
    bool mirrorV = false;
    double signalScale = 1.0;  // exposure / reference exposure x gain factor
    uint16_t blackLevel = 0;   // 12-bit units
    double noiseSigma = 1.0;   // temporal noise, 12-bit units
    uint64_t frameIndex = 0;   // the frame counter: selects the temporal noise, or is stamped
    uint64_t timeMs = 0;       // places the moving target
};

class SyntheticScene {
  public:
    // Exposure at which signalScale is 1.
    static constexpr double kReferenceExposureUs = 20000.0;

    SyntheticScene(uint32_t arrayWidth, uint32_t arrayHeight, uint64_t seed);

    // Chooses the pattern. For SceneKind::Image, pixels holds width x height 12-bit values.
    void SetPattern(SceneKind kind, uint16_t uniformLevel = 0);
    void SetImage(std::vector<uint16_t> pixels, uint32_t width, uint32_t height);
    SceneKind Pattern() const { return kind_; }

    // Writes the payload: width x height samples, 12-bit values in 16-bit samples when
    // request.wideSamples, else the top 8 of the 12 bits. out holds at least width x height
    // samples.
    void RenderWide(const RenderRequest &request, std::span<uint16_t> out);
    void RenderNarrow(const RenderRequest &request, std::span<uint8_t> out);

    // The 12-bit radiance of one array pixel at the reference exposure (for tests).
    uint16_t RadianceAt(uint32_t x, uint32_t y);

  private:
    struct ExposedKey {
        uint32_t width, height, originX, originY, step;
        bool mirrorH, mirrorV;
        double signalScale;
        uint16_t blackLevel;
        bool operator==(const ExposedKey &) const = default;
    };

    void BuildRadiance();
    void BuildNoise(double sigma);
    void BuildExposed(const ExposedKey &key);
    template <typename Sample>
    void Render(const RenderRequest &request, Sample *out);
    template <typename Sample>
    void RenderSynthetic(const RenderRequest &request, Sample *out);
    template <typename Sample>
    void RenderPattern(const RenderRequest &request, Sample *out) const;
    size_t NoiseOffset(uint64_t frameIndex, uint32_t row) const;

    uint32_t arrayWidth_;
    uint32_t arrayHeight_;
    uint64_t seed_;
    SceneKind kind_ = SceneKind::Synthetic;
    uint16_t uniformLevel_ = 0;
    std::vector<uint16_t> image_;
    uint32_t imageWidth_ = 0;
    uint32_t imageHeight_ = 0;

    std::vector<uint16_t> radiance_;     // arrayWidth x arrayHeight, built on first use
    std::vector<int16_t> columnOffset_;  // per array column
    std::vector<int16_t> noise_;         // temporal noise table, read at a random offset per row
    double noiseSigma_ = -1.0;
    std::vector<uint16_t> exposed_;  // the current window at the current settings
    ExposedKey exposedKey_{};
    bool exposedValid_ = false;
};

}  // namespace korvix::sim
