#include "imaging/files/JpegWriter.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

#include "imaging/files/OutputFile.h"

namespace korvix::imaging {
namespace {

// libjpeg's default error exit ends the process; this one jumps back into the writer.
struct JpegErrorManager {
    jpeg_error_mgr library;
    std::jmp_buf jump;
};

[[noreturn]] void JumpBackOnError(j_common_ptr info) {
    // The message is still printed, as libjpeg's own exit would, then the save fails.
    (*info->err->output_message)(info);
    std::longjmp(reinterpret_cast<JpegErrorManager *>(info->err)->jump, 1);
}

// Everything libjpeg may abandon by its error jump happens in here. The function holds
// only trivially destructible locals, so the jump skips no destructor; the caller owns
// the compressor and destroys it whether or not this returned normally.
bool Compress(jpeg_compress_struct *compressor, JpegErrorManager *errors, std::FILE *stream,
              const FrameImage &image, int quality, bool progressive, JSAMPLE *row) {
    if (setjmp(errors->jump) != 0) return false;

    jpeg_create_compress(compressor);
    jpeg_stdio_dest(compressor, stream);
    const bool color = image.BitCount() == 24;
    compressor->image_width = static_cast<JDIMENSION>(image.Width());
    compressor->image_height = static_cast<JDIMENSION>(image.Height());
    compressor->input_components = color ? 3 : 1;
    compressor->in_color_space = color ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(compressor);
    jpeg_set_quality(compressor, quality, TRUE);
    if (progressive) jpeg_simple_progression(compressor);
    jpeg_start_compress(compressor, TRUE);

    // The last memory row is the top of the picture: feed rows from there upwards.
    for (int32_t memoryRow = image.Height() - 1; memoryRow >= 0; --memoryRow) {
        const uint8_t *pixels = image.Bits() + static_cast<size_t>(memoryRow) * image.Pitch();
        for (int32_t x = 0; x < image.Width(); ++x) {
            if (color) {
                row[3 * x + 0] = pixels[3 * x + 2];
                row[3 * x + 1] = pixels[3 * x + 1];
                row[3 * x + 2] = pixels[3 * x + 0];
            } else {
                row[x] = pixels[x];
            }
        }
        JSAMPROW rows[1] = {row};
        jpeg_write_scanlines(compressor, rows, 1);
    }
    jpeg_finish_compress(compressor);
    return true;
}

}  // namespace

int WriteJpeg(const char *fileName, const FrameImage &image, int quality, bool progressive) {
    if (image.IsEmpty() || (image.BitCount() != 8 && image.BitCount() != 24)) return 0;
    OutputFile file;
    if (!file.Open(fileName)) return 0;
    std::vector<JSAMPLE> row(static_cast<size_t>(image.Width()) * (image.BitCount() / 8));

    jpeg_compress_struct compressor{};
    JpegErrorManager errors{};
    compressor.err = jpeg_std_error(&errors.library);
    errors.library.error_exit = JumpBackOnError;
    const bool compressed =
        Compress(&compressor, &errors, file.Stream(), image, quality, progressive, row.data());
    jpeg_destroy_compress(&compressor);
    const bool closed = file.Close();
    return compressed && closed ? 1 : 0;
}

}  // namespace korvix::imaging
