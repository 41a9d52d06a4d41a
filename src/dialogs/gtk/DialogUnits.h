#pragma once

// Dialog units to pixels, as Win32 converts the coordinates of a dialog template: the
// base units come from the dialog's font (the average width of the 52 Latin letters and
// the font's height), a horizontal unit is a quarter of the average width and a vertical
// unit an eighth of the height. Sizes thus follow the font, so captions fit the boxes the
// templates give them in either language.

#include <pango/pango.h>

#include <string>

#include "dialogs/DialogTemplate.h"

namespace korvix::dialogs::gtk {

struct DialogUnits {
    int baseX = 6;   // average character width, pixels
    int baseY = 13;  // character height, pixels

    // Win32's MulDiv(units, base, 4 or 8): rounded to the nearest pixel.
    int X(int units) const;
    int Y(int units) const;
};

// The font a template asks for, as a Pango family list and size: its own face first
// (present when the Windows fonts are installed), then for Japanese the Noto CJK face, so
// kana and kanji take Japanese glyph shapes, then the system's sans-serif face.
std::string FontFamilies(const FontTemplate &font, Language language);

// The base units of that font, measured with `context` (the screen's resolution and font
// options).
DialogUnits MeasureDialogUnits(PangoContext *context, const FontTemplate &font, Language language);

}  // namespace korvix::dialogs::gtk
