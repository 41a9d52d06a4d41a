#include "dialogs/SliderEdit.h"

#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace korvix::dialogs {

namespace {

bool OnlyBlanks(const char *text) {
    while (*text == ' ' || *text == '\t') ++text;
    return *text == '\0';
}

}  // namespace

void SetUpSliderEdit(DialogControls &controls, const SliderEditIds &ids, int minimum, int maximum,
                     int ticks, int value, bool enabled) {
    controls.SetSliderRange(ids.slider, minimum, maximum);
    controls.SetSliderTicks(ids.slider, ticks);
    controls.SetSpinRange(ids.spin, minimum, maximum);
    ShowSliderEdit(controls, ids, value);
    for (int id : {ids.slider, ids.edit, ids.spin}) controls.Enable(id, enabled);
}

void ShowSliderEdit(DialogControls &controls, const SliderEditIds &ids, int value) {
    controls.SetSliderPosition(ids.slider, value);
    controls.SetText(ids.edit, IntegerText(value));
}

void ShowSliderEditControls(DialogControls &controls, const SliderEditIds &ids, bool shown) {
    for (int id : {ids.slider, ids.edit, ids.spin}) controls.Show(id, shown);
}

std::optional<int> ParseInteger(const std::string &text) {
    const char *begin = text.c_str();
    char *end = nullptr;
    errno = 0;
    const long value = std::strtol(begin, &end, 10);
    if (end == begin || errno == ERANGE || !OnlyBlanks(end)) return std::nullopt;
    if (value < INT_MIN || value > INT_MAX) return std::nullopt;
    return static_cast<int>(value);
}

// from_chars rather than strtod: a host toolkit may have switched LC_NUMERIC to a locale
// whose decimal separator is a comma, and the dialog always shows a point.
std::optional<double> ParseReal(const std::string &text) {
    const char *begin = text.c_str();
    const char *last = begin + text.size();
    while (begin < last && (*begin == ' ' || *begin == '\t')) ++begin;
    double value = 0.0;
    const auto [end, error] = std::from_chars(begin, last, value);
    if (error != std::errc() || !OnlyBlanks(end) || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::string IntegerText(int value) {
    return std::to_string(value);
}

}  // namespace korvix::dialogs
