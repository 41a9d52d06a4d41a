#pragma once

// The frame images of a session, in the order the session creates them, and the colour
// index table that picks the images of an acquisition.
//
// Colour index: 0..5 for 8, 16, 24, 32, 48 and 64 bits per pixel. Indices 0, 2 and 3
// receive 8-bit raw frames into rawImage8, indices 1, 4 and 5 16-bit raw frames into
// rawImage16. The monochrome indices 0 and 1 output the raw image itself; the colour
// indices convert into rgbImage24, rgbImage32, rgbImage48 or rgbImage64.
//
// The images are guarded by the session's frameLock; this struct has no lock of its own.

#include <cstdint>
#include <memory>
#include <new>

#include "imaging/FrameImage.h"

namespace korvix {

inline constexpr int kColorIndexCount = 6;

// Bits per output pixel of a colour index, 0 for an index outside 0..5.
constexpr int BitsOfColorIndex(int colorIndex) {
    constexpr int kBits[kColorIndexCount] = {8, 16, 24, 32, 48, 64};
    return colorIndex >= 0 && colorIndex < kColorIndexCount ? kBits[colorIndex] : 0;
}

// The colour index of a bit count (8, 16, 24, 32, 48, 64), -1 for any other value.
constexpr int ColorIndexOfBits(int bits) {
    for (int index = 0; index < kColorIndexCount; ++index) {
        if (BitsOfColorIndex(index) == bits) return index;
    }
    return -1;
}

// True for the indices whose raw frames carry 16-bit samples (1, 4, 5).
constexpr bool IsSixteenBitIndex(int colorIndex) {
    return colorIndex == 1 || colorIndex == 4 || colorIndex == 5;
}

// Transfer width of the device for a colour index: 16 for 1, 4, 5, else 8.
constexpr int TransferBitsOf(int colorIndex) { return IsSixteenBitIndex(colorIndex) ? 16 : 8; }

// True for the monochrome indices 0 and 1, whose output is the raw image.
constexpr bool IsMonochromeIndex(int colorIndex) { return colorIndex == 0 || colorIndex == 1; }

struct SessionImages {
    std::unique_ptr<imaging::FrameImage> rawImage8;   // 8-bit raw frame, 8-bit gray output
    std::unique_ptr<imaging::FrameImage> rawImage16;  // 16-bit raw frame, 16-bit gray output
    std::unique_ptr<imaging::FrameImage> rgbImage24;
    std::unique_ptr<imaging::FrameImage> rgbImage32;
    std::unique_ptr<imaging::FrameImage> rgbImage48;
    std::unique_ptr<imaging::FrameImage> rgbImage64;
    std::unique_ptr<imaging::FrameImage> workImage;     // source copy of the sharpness filter
    std::unique_ptr<imaging::FrameImage> displayImage;  // output scaled to the preview window
    std::unique_ptr<imaging::FrameImage> darkRef8;      // mask references and defect maps
    std::unique_ptr<imaging::FrameImage> brightRef8;
    std::unique_ptr<imaging::FrameImage> darkRef16;
    std::unique_ptr<imaging::FrameImage> brightRef16;
    std::unique_ptr<imaging::FrameImage> hotMap8;
    std::unique_ptr<imaging::FrameImage> deadMap8;
    std::unique_ptr<imaging::FrameImage> hotMap16;
    std::unique_ptr<imaging::FrameImage> deadMap16;
    std::unique_ptr<imaging::FrameImage> defectMap8;
    std::unique_ptr<imaging::FrameImage> defectMap16;

    // Makes the 18 empty images in field order (replacing any existing ones). False when
    // an allocation fails; the images made so far stay, the rest are null.
    bool CreateAll() {
        for (auto member : kAllImages) {
            (this->*member).reset(new (std::nothrow) imaging::FrameImage);
            if (!(this->*member)) return false;
        }
        return true;
    }

    // Raw image receiving the frames of a colour index; null for an index outside 0..5.
    imaging::FrameImage *RawImageOf(int colorIndex) const {
        if (BitsOfColorIndex(colorIndex) == 0) return nullptr;
        return IsSixteenBitIndex(colorIndex) ? rawImage16.get() : rawImage8.get();
    }

    // Output image of a colour index; null for an index outside 0..5.
    imaging::FrameImage *OutputImageOf(int colorIndex) const {
        switch (colorIndex) {
        case 0: return rawImage8.get();
        case 1: return rawImage16.get();
        case 2: return rgbImage24.get();
        case 3: return rgbImage32.get();
        case 4: return rgbImage48.get();
        case 5: return rgbImage64.get();
        default: return nullptr;
        }
    }

    static constexpr std::unique_ptr<imaging::FrameImage> SessionImages::*kAllImages[18] = {
        &SessionImages::rawImage8,   &SessionImages::rawImage16,  &SessionImages::rgbImage24,
        &SessionImages::rgbImage32,  &SessionImages::rgbImage48,  &SessionImages::rgbImage64,
        &SessionImages::workImage,   &SessionImages::displayImage, &SessionImages::darkRef8,
        &SessionImages::brightRef8,  &SessionImages::darkRef16,   &SessionImages::brightRef16,
        &SessionImages::hotMap8,     &SessionImages::deadMap8,    &SessionImages::hotMap16,
        &SessionImages::deadMap16,   &SessionImages::defectMap8,  &SessionImages::defectMap16,
    };
};

}  // namespace korvix
