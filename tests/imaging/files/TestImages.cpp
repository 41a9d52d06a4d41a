#include "imaging/files/TestImages.h"

namespace korvix::test {
namespace {

// Gray images have one sample, colour images three; the fourth sample of 32 and 64 bits
// stays 0, as the conversions produce it.
int ColorSamples(int bitCount) {
    return bitCount <= 16 ? 1 : 3;
}
bool WideSamples(int bitCount) {
    return bitCount == 16 || bitCount == 48 || bitCount == 64;
}

uint8_t *SamplePointer(uint8_t *bits, const imaging::FrameImage &image, int32_t row, int32_t column,
                       int channel) {
    const int sampleBytes = WideSamples(image.BitCount()) ? 2 : 1;
    return bits + static_cast<size_t>(row) * image.Pitch() +
           static_cast<size_t>(column) * image.BytesPerPixel() + channel * sampleBytes;
}

}  // namespace

uint16_t PatternSample(int bitCount, int32_t row, int32_t column, int channel) {
    const uint32_t value = static_cast<uint32_t>(row * 37 + column * 11 + channel * 71 + 5);
    // 16-bit samples use the low 10 bits only, so that shifted forms stay distinct.
    return WideSamples(bitCount) ? static_cast<uint16_t>((value * 13) & 0x3FF)
                                 : static_cast<uint16_t>(value & 0xFF);
}

void FillPattern(imaging::FrameImage &image) {
    const int channels = ColorSamples(image.BitCount());
    for (int32_t row = 0; row < image.Height(); ++row) {
        for (int32_t column = 0; column < image.Width(); ++column) {
            for (int channel = 0; channel < channels; ++channel) {
                const uint16_t value = PatternSample(image.BitCount(), row, column, channel);
                uint8_t *sample = SamplePointer(image.Bits(), image, row, column, channel);
                sample[0] = static_cast<uint8_t>(value);
                if (WideSamples(image.BitCount())) sample[1] = static_cast<uint8_t>(value >> 8);
            }
        }
    }
}

std::unique_ptr<imaging::FrameImage> PatternImage(int32_t width, int32_t height, int bitCount) {
    auto image = std::make_unique<imaging::FrameImage>();
    if (image->Create(width, height, bitCount) != 1) return nullptr;
    FillPattern(*image);
    return image;
}

uint16_t SampleAt(const imaging::FrameImage &image, int32_t row, int32_t column, int channel) {
    const uint8_t *sample =
        SamplePointer(const_cast<uint8_t *>(image.Bits()), image, row, column, channel);
    return WideSamples(image.BitCount()) ? static_cast<uint16_t>(sample[0] | sample[1] << 8)
                                         : sample[0];
}

void SetPixel8(imaging::FrameImage &image, int32_t row, int32_t column, uint8_t blue, uint8_t green,
               uint8_t red) {
    uint8_t *pixel = SamplePointer(image.Bits(), image, row, column, 0);
    pixel[0] = blue;
    if (image.BitCount() >= 24) {
        pixel[1] = green;
        pixel[2] = red;
    }
}

}  // namespace korvix::test
