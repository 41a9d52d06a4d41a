// Unsharp mask: each inner sample moves away from the mean of the 4x4 block around it.

#include <algorithm>

#include "imaging/FilterLoops.h"
#include "imaging/Filters.h"

namespace korvix::imaging {

namespace {

using detail::AsConverter;
using detail::ConversionArea;
using detail::FilterFamily;

template <typename Sample, bool Color>
int Sharpness(const ConversionArea &area, void *first, void *) {
    const auto *value = static_cast<const int32_t *>(first);
    if (value == nullptr || area.destinationBytes != area.sourceBytes) return 0;
    const int32_t amount = std::clamp(*value, 0, 30);
    constexpr int32_t kMax = sizeof(Sample) == 1 ? 255 : 65535;
    // The block sum (16 samples) and the amplified difference fit these types.
    using Sum = std::conditional_t<sizeof(Sample) == 1, int16_t, int32_t>;
    return FilterFamily<Sample, Color>::Dispatch(area.sourceBytes, [&]<int Bytes>() {
        constexpr int kStride = Bytes / static_cast<int>(sizeof(Sample));
        const int64_t width = area.Width();
        const int64_t height = area.Height();
        if (width <= 4) return;
        for (int64_t y = 2; y <= height - 3; ++y) {
            const Sample *rows[4];
            for (int r = 0; r < 4; ++r) {
                rows[r] = reinterpret_cast<const Sample *>(area.SourceRow(y - 2 + r));
            }
            const Sample *center = rows[2];
            auto *out = reinterpret_cast<Sample *>(area.DestinationRow(y));
            const int64_t end = (width - 2) * kStride;
            for (int64_t k = 2 * kStride; k < end; ++k) {
                if constexpr (kStride == 4) {
                    if ((k & 3) == 3) continue;
                }
                Sum block = 0;
                for (int r = 0; r < 4; ++r) {
                    block =
                        static_cast<Sum>(block + rows[r][k - 2 * kStride] + rows[r][k - kStride] +
                                         rows[r][k] + rows[r][k + kStride]);
                }
                const int32_t blur = static_cast<int32_t>(block) >> 4;
                const int32_t x = center[k];
                const int32_t difference = (x - blur) * amount / 10;
                out[k] = static_cast<Sample>(std::clamp(x + difference, 0, kMax));
            }
        }
    });
}

}  // namespace

const PixelConverter Sharpness8 = AsConverter<Sharpness<uint8_t, false>>;
const PixelConverter Sharpness16 = AsConverter<Sharpness<uint16_t, false>>;
const PixelConverter Sharpness24 = AsConverter<Sharpness<uint8_t, true>>;
const PixelConverter Sharpness48 = AsConverter<Sharpness<uint16_t, true>>;

}  // namespace korvix::imaging
