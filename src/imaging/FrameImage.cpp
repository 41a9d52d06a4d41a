#include "imaging/FrameImage.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace korvix::imaging {

namespace {

bool IsSupportedBitCount(int bitCount) {
    switch (bitCount) {
        case 8:
        case 16:
        case 24:
        case 32:
        case 48:
        case 64:
            return true;
        default:
            return false;
    }
}

void FillGrayRamp(RgbQuad *table) {
    for (int i = 0; i < kPaletteSize; ++i) {
        const auto level = static_cast<uint8_t>(i);
        table[i] = RgbQuad{level, level, level, 0};
    }
}

// Copies one row segment of `count` pixels between the supported format pairs of Draw.
void BlitRow(uint8_t *dst, int dstBytes, const uint8_t *src, int srcBytes, int count,
             const RgbQuad *srcColors) {
    if (dstBytes == srcBytes) {
        std::memcpy(dst, src, static_cast<size_t>(count) * static_cast<size_t>(dstBytes));
        return;
    }
    for (int j = 0; j < count; ++j, dst += dstBytes, src += srcBytes) {
        if (srcBytes == 1) {
            const RgbQuad &color = srcColors[src[0]];
            dst[0] = color.blue;
            dst[1] = color.green;
            dst[2] = color.red;
        } else {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
        if (dstBytes == 4) dst[3] = 0;
    }
}

bool CanBlit(int dstBits, int srcBits) {
    if (dstBits == srcBits) return true;
    const bool dstColor = dstBits == 24 || dstBits == 32;
    return dstColor && (srcBits == 8 || srcBits == 24 || srcBits == 32);
}

}  // namespace

FrameImage::FrameImage() {
    ResetHeader();
}

FrameImage::~FrameImage() = default;

int64_t FrameImage::PitchFor(int64_t width, int bitCount) {
    return (width * (bitCount / 8) + 3) & ~int64_t{3};
}

void FrameImage::ResetHeader() {
    info_ = BitmapInfo{};
    std::fill(std::begin(info_.colors), std::end(info_.colors), RgbQuad{});
    std::fill(std::begin(bitmapColors_), std::end(bitmapColors_), RgbQuad{});
}

void FrameImage::Release() {
    bits_.reset();
    width_ = 0;
    height_ = 0;
    pitch_ = 0;
    bitCount_ = 0;
    hasBitmap_ = false;
    ResetHeader();
}

int FrameImage::Create(int32_t width, int32_t height, int bitCount) {
    if (width <= 0 || height <= 0 || !IsSupportedBitCount(bitCount)) return 0;
    Release();
    info_.header.width = width;
    info_.header.height = height;
    info_.header.planes = 1;
    info_.header.bitCount = static_cast<uint16_t>(bitCount);
    width_ = width;
    height_ = height;
    bitCount_ = static_cast<uint16_t>(bitCount);
    const int64_t pitch = PitchFor(width, bitCount);
    if (pitch > std::numeric_limits<int32_t>::max()) {
        Release();
        return 0;
    }
    pitch_ = static_cast<int32_t>(pitch);
    return CreateBitmap();
}

int FrameImage::CopyFormat(const FrameImage &other) {
    if (&other == this || other.width_ <= 0 || other.height_ <= 0 || other.bitCount_ == 0) {
        return 0;
    }
    Release();
    info_.header = other.info_.header;
    width_ = other.width_;
    height_ = other.height_;
    pitch_ = other.pitch_;
    bitCount_ = other.bitCount_;
    return CreateBitmap();
}

int FrameImage::CreateBitmap() {
    if (bitCount_ == 8) FillGrayRamp(info_.colors);
    const auto bytes = static_cast<uint64_t>(height_) * static_cast<uint64_t>(pitch_);
    if (bytes > std::numeric_limits<size_t>::max() / 2) {
        Release();
        return 0;
    }
    // Value-initialised: new images are black.
    bits_.reset(new (std::nothrow) uint8_t[static_cast<size_t>(bytes)]());
    if (!bits_) {
        Release();
        return 0;
    }
    hasBitmap_ = bitCount_ <= 32;
    if (hasBitmap_) std::copy(std::begin(info_.colors), std::end(info_.colors), bitmapColors_);
    return 1;
}

int FrameImage::SetPalette(int mode, const RgbQuad *colors, int firstIndex, int count) {
    if (mode == kPaletteGrayRamp) {
        FillGrayRamp(info_.colors);
        if (hasBitmap_) FillGrayRamp(bitmapColors_);
    } else if (mode == kPaletteBitmapOnly && hasBitmap_ && colors != nullptr && firstIndex >= 0 &&
               firstIndex < kPaletteSize && count > 0) {
        const int copied = std::min(count, kPaletteSize - firstIndex);
        std::copy(colors, colors + copied, bitmapColors_ + firstIndex);
    }
    return 1;
}

int FrameImage::GetBitmapColorTable(RgbQuad *colors, int firstIndex, int count) const {
    if (!hasBitmap_ || bitCount_ > 8 || colors == nullptr || firstIndex < 0 ||
        firstIndex >= kPaletteSize || count <= 0) {
        return 0;
    }
    const int copied = std::min(count, kPaletteSize - firstIndex);
    std::copy(bitmapColors_ + firstIndex, bitmapColors_ + firstIndex + copied, colors);
    return copied;
}

bool FrameImage::Draw(const FrameImage &source, const PixelRect *sourceRect, int32_t x, int32_t y) {
    if (!hasBitmap_ || !source.hasBitmap_ || !CanBlit(bitCount_, source.bitCount_)) return false;
    PixelRect rect = sourceRect ? *sourceRect : PixelRect{0, 0, source.width_, source.height_};
    // Clip against the source and the destination, carrying each cut over to the other.
    int64_t srcLeft = rect.left, srcTop = rect.top;
    int64_t width = int64_t{rect.right} - rect.left;
    int64_t height = int64_t{rect.bottom} - rect.top;
    int64_t dstX = x, dstY = y;
    const auto cut = [](int64_t &srcStart, int64_t &dstStart, int64_t &length, int64_t srcLimit,
                        int64_t dstLimit) {
        const int64_t front = std::max({int64_t{0}, -srcStart, -dstStart});
        srcStart += front;
        dstStart += front;
        length -= front;
        length = std::min({length, srcLimit - srcStart, dstLimit - dstStart});
    };
    cut(srcLeft, dstX, width, source.width_, width_);
    cut(srcTop, dstY, height, source.height_, height_);
    if (width <= 0 || height <= 0) return true;

    // Both images are bottom-up surfaces: rectangle row r lies in memory row height - 1 - r.
    const int dstBytes = BytesPerPixel();
    const int srcBytes = source.BytesPerPixel();
    for (int64_t i = 0; i < height; ++i) {
        const int64_t srcRow = source.height_ - 1 - (srcTop + i);
        const int64_t dstRow = height_ - 1 - (dstY + i);
        BlitRow(bits_.get() + dstRow * pitch_ + dstX * dstBytes, dstBytes,
                source.bits_.get() + srcRow * source.pitch_ + srcLeft * srcBytes, srcBytes,
                static_cast<int>(width), source.bitmapColors_);
    }
    return true;
}

int FrameImage::CopyTo(uint8_t *buffer, size_t bufferSize, bool reverseRows) const {
    if (!bits_ || buffer == nullptr || bufferSize < SizeBytes()) return 0;
    if (!reverseRows) {
        std::memcpy(buffer, bits_.get(), SizeBytes());
        return 1;
    }
    const auto pitch = static_cast<size_t>(pitch_);
    for (int32_t row = 0; row < height_; ++row) {
        std::memcpy(buffer + static_cast<size_t>(height_ - 1 - row) * pitch,
                    bits_.get() + static_cast<size_t>(row) * pitch, pitch);
    }
    return 1;
}

}  // namespace korvix::imaging
