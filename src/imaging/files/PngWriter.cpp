#include "imaging/files/PngWriter.h"

#include <png.h>

#include <cstdio>
#include <vector>

#include "imaging/FrameImage.h"
#include "imaging/files/OutputFile.h"

namespace korvix::imaging {
namespace {

struct PngFormat {
    int bitDepth;
    int colorType;
};

// Bit depth and colour type per bit count; false for bit counts PNG files do not take.
bool FormatFor(int bitCount, PngFormat &format) {
    switch (bitCount) {
        case 8:
            format = {8, PNG_COLOR_TYPE_GRAY};
            return true;
        case 16:
            format = {16, PNG_COLOR_TYPE_GRAY};
            return true;
        case 24:
            format = {8, PNG_COLOR_TYPE_RGB};
            return true;
        case 48:
            format = {16, PNG_COLOR_TYPE_RGB};
            return true;
        case 32:
            format = {8, PNG_COLOR_TYPE_RGB_ALPHA};
            return true;
        case 64:
            format = {16, PNG_COLOR_TYPE_RGB_ALPHA};
            return true;
        default:
            return false;
    }
}

// libpng's errors must not return to it: report and jump back into the writer.
[[noreturn]] void JumpBackOnError(png_structp png, png_const_charp message) {
    std::fprintf(stderr, "libpng error: %s\n", message);
    png_longjmp(png, 1);
}

// Everything libpng may abandon by its error jump happens in here. The function holds
// only trivially destructible locals, so the jump skips no destructor; the caller owns
// the write structures and destroys them whether or not this returned normally.
bool Encode(png_structp png, png_infop info, std::FILE *stream, int32_t width, int32_t height,
            PngFormat format, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;

    png_init_io(png, stream);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                 format.bitDepth, format.colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // The buffers hold blue first and, for 16-bit samples, the low byte first; PNG
    // stores red first and high bytes first.
    png_set_bgr(png);
    if (format.bitDepth == 16) png_set_swap(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

int WritePng(const char *fileName, const uint8_t *bits, int32_t width, int32_t height,
             int bitCount) {
    PngFormat format{};
    if (bits == nullptr || width <= 0 || height <= 0 || !FormatFor(bitCount, format)) return 0;
    OutputFile file;
    if (!file.Open(fileName)) return 0;

    // libpng reads each row into its own buffer before transforming it, so the source
    // rows are never written through these pointers.
    const auto pitch = static_cast<size_t>(FrameImage::PitchFor(width, bitCount));
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (size_t r = 0; r < rows.size(); ++r) rows[r] = const_cast<png_bytep>(bits + r * pitch);

    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, JumpBackOnError, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool encoded = false;
    if (info != nullptr) {
        encoded = Encode(png, info, file.Stream(), width, height, format, rows.data());
    }
    png_destroy_write_struct(&png, &info);
    const bool closed = file.Close();
    return encoded && closed ? 1 : 0;
}

}  // namespace korvix::imaging
