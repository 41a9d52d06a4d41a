#pragma once

// What the pages share: a value shown by a slider, an edit and a spin control together,
// and reading numbers out of edits.

#include <optional>
#include <string>

#include "dialogs/DialogControls.h"

namespace korvix::dialogs {

struct SliderEditIds {
    int slider;
    int edit;
    int spin;
};

// Range and tick marks (every `ticks` units; 0 none) of the slider, the same range for
// the spin, the value in both slider and edit, and one enabled state for all three.
void SetUpSliderEdit(DialogControls &controls, const SliderEditIds &ids, int minimum, int maximum,
                     int ticks, int value, bool enabled);
// The value in the slider and the edit.
void ShowSliderEdit(DialogControls &controls, const SliderEditIds &ids, int value);
void ShowSliderEditControls(DialogControls &controls, const SliderEditIds &ids, bool shown);

// The whole text as a signed decimal integer (blanks around it allowed), as
// GetDlgItemInt reads it; nothing for text that is not one or does not fit an int.
std::optional<int> ParseInteger(const std::string &text);
// The whole text as a finite decimal number; nothing otherwise.
std::optional<double> ParseReal(const std::string &text);
std::string IntegerText(int value);

}  // namespace korvix::dialogs
