#include "dialogs/gtk/DialogUnits.h"

#include <memory>

namespace korvix::dialogs::gtk {

namespace {

int MulDiv(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator
                                         : (product - half) / denominator);
}

}  // namespace

int DialogUnits::X(int units) const {
    return MulDiv(units, baseX, 4);
}

int DialogUnits::Y(int units) const {
    return MulDiv(units, baseY, 8);
}

std::string FontFamilies(const FontTemplate &font, Language language) {
    std::string families = font.face;
    if (language == Language::Japanese) families += ",Noto Sans CJK JP";
    return families + ",Sans";
}

DialogUnits MeasureDialogUnits(PangoContext *context, const FontTemplate &font, Language language) {
    DialogUnits units;
    std::unique_ptr<PangoFontDescription, decltype(&pango_font_description_free)> description(
        pango_font_description_new(), pango_font_description_free);
    pango_font_description_set_family(description.get(), FontFamilies(font, language).c_str());
    pango_font_description_set_size(description.get(), font.pointSize * PANGO_SCALE);

    std::unique_ptr<PangoLayout, decltype(&g_object_unref)> layout(pango_layout_new(context),
                                                                   g_object_unref);
    pango_layout_set_font_description(layout.get(), description.get());
    pango_layout_set_text(layout.get(), "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
    int width = 0;
    int height = 0;
    pango_layout_get_pixel_size(layout.get(), &width, &height);
    // Win32 rounds the average of the 52 letters the same way: (width / 26 + 1) / 2.
    if (width > 0) units.baseX = (width / 26 + 1) / 2;
    if (height > 0) units.baseY = height;
    return units;
}

}  // namespace korvix::dialogs::gtk
