#include "imaging/files/TiffWriter.h"

#include <tiffio.h>

#include <cstdarg>
#include <cstdio>
#include <memory>
#include <vector>

#include "imaging/FormatConverters.h"
#include "imaging/files/FileConverters.h"

namespace korvix::imaging {
namespace {

struct TiffLayout {
    uint16_t bitsPerSample;
    uint16_t photometric;
    uint16_t samplesPerPixel;
    PixelConverter converter;  // image pixels -> strip pixels
};

// The file layout and the conversion for a bit count and sample depth; false when either
// is not one the writer handles.
bool LayoutFor(int bitCount, int sampleDepth, TiffLayout &layout) {
    const int depthIndex = sampleDepth == 16   ? 0
                           : sampleDepth == 12 ? 1
                           : sampleDepth == 10 ? 2
                                               : -1;
    if (depthIndex < 0) return false;
    const PixelConverter gray16[] = {CopyPixelRows, Gray16Shl4, Gray16Shl6};
    const PixelConverter rgb48[] = {Rgb48SwapRB, Rgb48Shl4SwapRB, Rgb48Shl6SwapRB};
    const PixelConverter rgb64[] = {Rgb64SwapRBOpaque, Rgb64Shl4SwapRB, Rgb64Shl6SwapRB};
    switch (bitCount) {
        case 8:
            layout = {8, PHOTOMETRIC_MINISBLACK, 1, CopyPixelRows};
            return true;
        case 16:
            layout = {16, PHOTOMETRIC_MINISBLACK, 1, gray16[depthIndex]};
            return true;
        case 24:
            layout = {8, PHOTOMETRIC_RGB, 3, SwapRB24};
            return true;
        case 32:
            layout = {8, PHOTOMETRIC_RGB, 4, SwapRB24};
            return true;
        case 48:
            layout = {16, PHOTOMETRIC_RGB, 3, rgb48[depthIndex]};
            return true;
        case 64:
            layout = {16, PHOTOMETRIC_RGB, 4, rgb64[depthIndex]};
            return true;
        default:
            return false;
    }
}

// libtiff reports errors through a handler and returns a failure; this one, given to
// the file alone, prints the message and remembers that the file is not sound.
int ReportError(TIFF *, void *userData, const char *module, const char *format, va_list args) {
    *static_cast<bool *>(userData) = true;
    std::fprintf(stderr, "libtiff error: %s: ", module != nullptr ? module : "");
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    return 1;  // handled: the process-wide handler stays silent
}

struct TiffCloser {
    void operator()(TIFF *tiff) const { TIFFClose(tiff); }
};
struct OptionsFreer {
    void operator()(TIFFOpenOptions *options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

int WriteTiff(const char *fileName, const FrameImage &image, int sampleDepth) {
    TiffLayout layout{};
    if (fileName == nullptr || image.IsEmpty() ||
        !LayoutFor(image.BitCount(), sampleDepth, layout)) {
        return 0;
    }
    // The strip: rows top first, width x bytes per pixel each; zeroed, so that the fourth
    // byte of 32-bit pixels, which the conversion does not write, is 0.
    const uint16_t bytesPerPixel = image.BytesPerPixel();
    const int64_t rowBytes = int64_t{image.Width()} * bytesPerPixel;
    std::vector<uint8_t> strip(static_cast<size_t>(rowBytes * image.Height()));
    const PixelRect whole{0, 0, image.Width(), image.Height()};
    layout.converter(strip.data(), image.Bits(), whole, 0, 0, bytesPerPixel, bytesPerPixel,
                     static_cast<int32_t>(rowBytes), image.Pitch(), nullptr, nullptr);

    bool failed = false;
    std::unique_ptr<TIFFOpenOptions, OptionsFreer> options(TIFFOpenOptionsAlloc());
    if (!options) return 0;
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), ReportError, &failed);
    std::unique_ptr<TIFF, TiffCloser> tiff(TIFFOpenExt(fileName, "w", options.get()));
    if (!tiff) return 0;

    TIFFSetField(tiff.get(), TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(image.Width()));
    TIFFSetField(tiff.get(), TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(image.Height()));
    TIFFSetField(tiff.get(), TIFFTAG_COMPRESSION, COMPRESSION_NONE);
    TIFFSetField(tiff.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, layout.bitsPerSample);
    TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC, layout.photometric);
    TIFFSetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, layout.samplesPerPixel);
    if (layout.samplesPerPixel == 4) {
        // Readers must not take the fourth sample for colour or for alpha.
        const uint16_t extra[] = {EXTRASAMPLE_UNSPECIFIED};
        TIFFSetField(tiff.get(), TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    const tmsize_t written =
        TIFFWriteEncodedStrip(tiff.get(), 0, strip.data(), static_cast<tmsize_t>(strip.size()));
    // Closing writes the directory; its errors reach the handler too.
    tiff.reset();
    return written > 0 && !failed ? 1 : 0;
}

}  // namespace korvix::imaging
