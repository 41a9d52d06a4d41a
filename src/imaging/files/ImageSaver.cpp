#include "imaging/files/ImageSaver.h"

#include <new>

#include "imaging/FormatConverters.h"
#include "imaging/PixelConverter.h"
#include "imaging/files/BmpRawWriter.h"
#include "imaging/files/FileConverters.h"
#include "imaging/files/JpegWriter.h"
#include "imaging/files/PngWriter.h"
#include "imaging/files/TiffWriter.h"

namespace korvix::imaging {
namespace {

// Converters chosen by sample depth: 16, 12 and 10 significant bits.
struct ByDepth {
    PixelConverter depth16;
    PixelConverter depth12;
    PixelConverter depth10;

    PixelConverter For(int sampleDepth) const {
        return sampleDepth == 16 ? depth16 : sampleDepth == 12 ? depth12 : depth10;
    }
};

bool IsSampleDepth(int sampleDepth) {
    return sampleDepth == 16 || sampleDepth == 12 || sampleDepth == 10;
}

// Fills `temporary` (made with `bitCount` bits at the image's size) by `converter`.
bool Prepare(FrameImage &temporary, int bitCount, PixelConverter converter,
             const FrameImage &image) {
    return temporary.Create(image.Width(), image.Height(), bitCount) == 1 &&
           ConvertImage(temporary, converter, image, nullptr, 0, 0) != 0;
}

int SaveAsBmp(const FrameImage &image, const char *fileName) {
    // A copy of the format brings the gray table for 8 bits; the rows are reversed
    // because a BMP stores the bottom row first.
    FrameImage flipped;
    if (flipped.CopyFormat(image) != 1 ||
        ConvertImage(flipped, FlipCopyRows, image, nullptr, 0, 0) == 0) {
        return 0;
    }
    return SaveBmp(flipped, fileName);
}

int SaveAsJpeg(const FrameImage &image, const char *fileName, int quality, int sampleDepth) {
    // JPEG takes 8-bit gray or 24-bit colour; the rows are reversed, and the writer feeds
    // them back from the last, which gives libjpeg the top row first.
    const ByDepth gray16{Gray16To8HiFlip, Gray16To8Shift4Flip, Gray16To8Shift2Flip};
    FrameImage temporary;
    bool prepared = false;
    switch (image.BitCount()) {
        case 8:
            prepared = Prepare(temporary, 8, FlipCopyRows, image);
            break;
        case 16:
            prepared = Prepare(temporary, 8, gray16.For(sampleDepth), image);
            break;
        case 24:
        case 32:
            prepared = Prepare(temporary, 24, Rgb24FlipCopy, image);
            break;
        case 48:
        case 64:
            prepared = Prepare(temporary, 24, Rgb48To24HiFlip, image);
            break;
        default:
            break;
    }
    return prepared ? WriteJpeg(fileName, temporary, quality, true) : 0;
}

int SaveAsPng(const FrameImage &image, const char *fileName, int sampleDepth) {
    // The PNG writer takes the image's layout and does the byte order itself; only
    // 10- and 12-bit samples and the alpha sample need a converted copy.
    PixelConverter converter = nullptr;
    switch (image.BitCount()) {
        case 16:
            converter = ByDepth{nullptr, Gray16Shl4, Gray16Shl6}.For(sampleDepth);
            break;
        case 32:
            converter = InvertAlpha32;
            break;  // a stored 0 becomes opaque 255
        case 48:
            converter = ByDepth{nullptr, Rgb48Shl4, Rgb48Shl6}.For(sampleDepth);
            break;
        case 64:
            converter = ByDepth{Rgb64Opaque, Rgb64Shl4, Rgb64Shl6}.For(sampleDepth);
            break;
        default:
            break;
    }
    const FrameImage *source = &image;
    FrameImage temporary;
    if (converter != nullptr) {
        if (!Prepare(temporary, image.BitCount(), converter, image)) return 0;
        source = &temporary;
    }
    return WritePng(fileName, source->Bits(), source->Width(), source->Height(),
                    source->BitCount());
}

int SaveByType(const FrameImage &image, const char *fileName, int fileType, int sampleDepth) {
    switch (fileType) {
        case kImageFileBmp:
            return SaveAsBmp(image, fileName);
        case kImageFileRaw:
            return SaveRaw(image, fileName);
        case kImageFileJpegQuality100:
            return SaveAsJpeg(image, fileName, 100, sampleDepth);
        case kImageFileJpegQuality70:
            return SaveAsJpeg(image, fileName, 70, sampleDepth);
        case kImageFileJpegQuality20:
            return SaveAsJpeg(image, fileName, 20, sampleDepth);
        case kImageFilePng:
            return SaveAsPng(image, fileName, sampleDepth);
        case kImageFileTiff:
            return WriteTiff(fileName, image, sampleDepth);
        default:
            return 0;
    }
}

}  // namespace

int SaveImageFile(const char *fileName, const FrameImage *image, int fileType, int sampleDepth) {
    if (fileName == nullptr || image == nullptr || image->IsEmpty() ||
        !IsSampleDepth(sampleDepth)) {
        return 0;
    }
    try {
        return SaveByType(*image, fileName, fileType, sampleDepth);
    } catch (const std::bad_alloc &) {
        return 0;  // a temporary image or row table that does not fit: nothing saved
    }
}

}  // namespace korvix::imaging
