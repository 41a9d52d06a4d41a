#include "imaging/files/BmpRawWriter.h"

#include "imaging/files/LittleEndian.h"
#include "imaging/files/OutputFile.h"

namespace korvix::imaging {
namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kColorTableBytes = 4 * kPaletteSize;
constexpr uint16_t kBmpMagic = 0x4D42;  // "BM"

void PutInfoHeader(uint8_t *out, const BitmapInfoHeader &header) {
    PutU32(out + 0, header.size);
    PutI32(out + 4, header.width);
    PutI32(out + 8, header.height);
    PutU16(out + 12, header.planes);
    PutU16(out + 14, header.bitCount);
    PutU32(out + 16, header.compression);
    PutU32(out + 20, header.sizeImage);
    PutI32(out + 24, header.xPelsPerMeter);
    PutI32(out + 28, header.yPelsPerMeter);
    PutU32(out + 32, header.clrUsed);
    PutU32(out + 36, header.clrImportant);
}

}  // namespace

int SaveBmp(const FrameImage &image, const char *fileName) {
    if (image.IsEmpty()) return 0;
    const bool hasColorTable = image.BitCount() <= 8;
    const uint32_t pixelOffset =
        kFileHeaderBytes + kInfoHeaderBytes + (hasColorTable ? kColorTableBytes : 0);
    const uint64_t fileSize = pixelOffset + uint64_t{image.SizeBytes()};
    if (fileSize > UINT32_MAX) return 0;  // the file header cannot state its size

    uint8_t headers[kFileHeaderBytes + kInfoHeaderBytes + kColorTableBytes] = {};
    PutU16(headers + 0, kBmpMagic);
    PutU32(headers + 2, static_cast<uint32_t>(fileSize));
    PutU32(headers + 10, pixelOffset);
    PutInfoHeader(headers + kFileHeaderBytes, image.Header());
    if (hasColorTable) {
        RgbQuad colors[kPaletteSize] = {};
        image.GetBitmapColorTable(colors, 0, kPaletteSize);
        uint8_t *table = headers + kFileHeaderBytes + kInfoHeaderBytes;
        for (int i = 0; i < kPaletteSize; ++i) {
            table[4 * i + 0] = colors[i].blue;
            table[4 * i + 1] = colors[i].green;
            table[4 * i + 2] = colors[i].red;
            table[4 * i + 3] = colors[i].reserved;
        }
    }

    OutputFile file;
    const bool written = file.Open(fileName) && file.Write(headers, pixelOffset) &&
                         file.Write(image.Bits(), image.SizeBytes());
    return file.Close() && written ? 1 : 0;
}

int SaveRaw(const FrameImage &image, const char *fileName) {
    if (image.IsEmpty()) return 0;
    OutputFile file;
    const bool written = file.Open(fileName) && file.Write(image.Bits(), image.SizeBytes());
    return file.Close() && written ? 1 : 0;
}

}  // namespace korvix::imaging
