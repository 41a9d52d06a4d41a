#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace korvix::imaging {

// The 40-byte device-independent bitmap header, laid out as in a BMP file (little-endian
// fields, no padding), so that it can be written out as it stands.
struct BitmapInfoHeader {
    uint32_t size = 40;
    int32_t width = 0;
    int32_t height = 0;  // positive: consumers of the header see the rows bottom-up
    uint16_t planes = 0;
    uint16_t bitCount = 0;
    uint32_t compression = 0;  // 0 = uncompressed RGB
    uint32_t sizeImage = 0;
    int32_t xPelsPerMeter = 0;
    int32_t yPelsPerMeter = 0;
    uint32_t clrUsed = 0;
    uint32_t clrImportant = 0;
};
static_assert(sizeof(BitmapInfoHeader) == 40);

// One colour-table entry, in the byte order of a BMP file.
struct RgbQuad {
    uint8_t blue = 0;
    uint8_t green = 0;
    uint8_t red = 0;
    uint8_t reserved = 0;
};
static_assert(sizeof(RgbQuad) == 4);

inline constexpr int kPaletteSize = 256;

// Header and colour table as one block (1064 bytes), the form a BMP writer emits.
struct BitmapInfo {
    BitmapInfoHeader header;
    RgbQuad colors[kPaletteSize];
};
static_assert(sizeof(BitmapInfo) == 40 + 4 * kPaletteSize);

// A rectangle in pixels; right and bottom are exclusive.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
};

// Palette modes of FrameImage::SetPalette.
enum PaletteMode : int {
    kPaletteGrayRamp = 0,    // write the gray ramp into both tables
    kPaletteBitmapOnly = 2,  // write caller entries into the bitmap's table only
};

// The one pixel container of the library: a bitmap header, a 256-entry colour table and
// a zeroed pixel buffer whose rows are padded to a multiple of 4 bytes. Memory row 0 is
// the top row of the picture, although the header carries a positive height (so that a
// graphics system or a BMP file sees the buffer bottom-up; converters that hand the
// image to such consumers reverse the rows).
//
// Bit counts 8, 16, 24 and 32 have a "bitmap": the image behaves as a drawable surface
// with a colour table of its own (the one SetPalette mode 2 changes and a BMP writer
// reads back through GetBitmapColorTable). Bit counts 48 and 64 are plain memory with
// the same header; they can be converted and saved but not drawn.
//
// Thread-bound: a FrameImage has no lock; its owner serialises access.
class FrameImage {
  public:
    FrameImage();
    ~FrameImage();
    FrameImage(const FrameImage &) = delete;
    FrameImage &operator=(const FrameImage &) = delete;

    // Makes a new zeroed image; releases any previous one first. Returns 1, or 0 (and
    // leaves the image empty) for a non-positive size, an unsupported bit count (anything
    // but 8, 16, 24, 32, 48, 64), a size whose buffer does not fit, or a failed allocation.
    int Create(int32_t width, int32_t height, int bitCount);

    // Makes this image an empty (zeroed) image of the other's header, size and bit count;
    // the colour table and pixels are not copied. Returns 0 when the other has no pixels.
    int CopyFormat(const FrameImage &other);

    // Frees the pixels and returns to the empty state. Harmless when already empty.
    void Release();

    // Mode kPaletteGrayRamp writes the gray ramp into the own table and the bitmap's;
    // mode kPaletteBitmapOnly copies `count` caller entries to the bitmap's table from
    // `firstIndex` on (clipped to the table) without changing the own table. Other modes
    // do nothing. Always returns 1.
    int SetPalette(int mode, const RgbQuad *colors, int firstIndex, int count);

    // Reads the bitmap's colour table as a drawing surface holds it: copies up to `count`
    // entries from `firstIndex` and returns how many were copied; 0 when the image has no
    // bitmap or its bit count has no colour table (more than 8 bits).
    int GetBitmapColorTable(RgbQuad *colors, int firstIndex, int count) const;

    // Copies a rectangle of `source` (whole source when `sourceRect` is null) to (x, y)
    // of this image, as a blit between two bottom-up bitmaps: both images keep their
    // memory row order. Same formats are copied; an 8-bit source is expanded through its
    // bitmap colour table into 24 or 32 bits; 24 and 32 bits convert into each other.
    // Returns false when either image has no bitmap or the formats cannot be converted.
    bool Draw(const FrameImage &source, const PixelRect *sourceRect, int32_t x, int32_t y);

    // Copies Height() x Pitch() bytes into `buffer`, rows in memory order or reversed.
    // Returns 1, or 0 without writing when the image is empty, the buffer is null or
    // `bufferSize` is shorter than the image.
    int CopyTo(uint8_t *buffer, size_t bufferSize, bool reverseRows) const;

    uint8_t *Bits() { return bits_.get(); }
    const uint8_t *Bits() const { return bits_.get(); }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    int32_t Pitch() const { return pitch_; }
    uint16_t BitCount() const { return bitCount_; }
    uint16_t BytesPerPixel() const { return static_cast<uint16_t>(bitCount_ / 8); }
    size_t SizeBytes() const { return static_cast<size_t>(height_) * static_cast<size_t>(pitch_); }
    bool IsEmpty() const { return bits_ == nullptr; }
    // True for images a graphics surface can hold (8, 16, 24, 32 bits).
    bool HasBitmap() const { return hasBitmap_; }

    const BitmapInfoHeader &Header() const { return info_.header; }
    // Header followed by the own colour table.
    const BitmapInfo &Info() const { return info_; }
    const RgbQuad *ColorTable() const { return info_.colors; }

    // Bytes per row for a width and bit count: width x bytes per pixel rounded up to 4.
    static int64_t PitchFor(int64_t width, int bitCount);

  private:
    int CreateBitmap();
    void ResetHeader();

    BitmapInfo info_;
    RgbQuad bitmapColors_[kPaletteSize];  // the drawable surface's table
    std::unique_ptr<uint8_t[]> bits_;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t pitch_ = 0;
    uint16_t bitCount_ = 0;
    bool hasBitmap_ = false;
};

}  // namespace korvix::imaging
