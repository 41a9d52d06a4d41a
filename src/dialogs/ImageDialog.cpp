#include "dialogs/ImageDialog.h"

#include <algorithm>
#include <span>

namespace korvix::dialogs {

namespace {

constexpr int kTabControl = 1001;
constexpr int kOnce = 2074;           // white balance (image page) or gray gain (gray page) once
constexpr int kAllFrames = 1035;      // the same, every frame
constexpr int kBayerFirst = 1030;     // radio buttons 1030..1033: Bayer phase 0..3
constexpr int kGrayModeFirst = 1046;  // radio buttons 1046..1048: gray mode 0..2
constexpr int kDefaultBayerMode = 3;

using Row = ImageDialog::Row;

template <int32_t ImageSettings::*Field>
int32_t &Member(ImageSettings &settings) {
    return settings.*Field;
}
template <int Site>
int32_t &GrayGain(ImageSettings &settings) {
    return settings.grayGain[Site];
}
template <int Site>
int32_t &GrayOffset(ImageSettings &settings) {
    return settings.grayOffset[Site];
}

const Row kImageRows[] = {
    {{2001, 2002, 2004}, Member<&ImageSettings::brightness>, -255, 255, 64, 0, false},
    {{2011, 2012, 2014}, Member<&ImageSettings::contrast>, -127, 127, 32, 0, false},
    {{2021, 2022, 2024}, Member<&ImageSettings::hue>, -360, 360, 90, 0, true},
    {{2031, 2032, 2034}, Member<&ImageSettings::saturation>, -255, 255, 64, 0, true},
    {{2041, 2042, 2044}, Member<&ImageSettings::sharpness>, 0, 30, 4, 0, false},
    {{2051, 2052, 2054}, Member<&ImageSettings::balanceRed>, 0, 400, 32, 100, true},
    {{2061, 2062, 2063}, Member<&ImageSettings::balanceGreen>, 0, 400, 32, 100, true},
    {{2071, 2072, 2073}, Member<&ImageSettings::balanceBlue>, 0, 400, 32, 100, true},
    {{2081, 2082, 2084}, Member<&ImageSettings::gamma>, 0, 200, 32, 100, false},
};

// Gains then offsets of the sites R, G1, G2, B: slider, edit and spin on consecutive ids.
const Row kGrayRows[] = {
    {{2100, 2101, 2102}, GrayGain<0>, 0, 400, 32, 128, false},
    {{2103, 2104, 2105}, GrayGain<1>, 0, 400, 32, 128, false},
    {{2106, 2107, 2108}, GrayGain<2>, 0, 400, 32, 128, false},
    {{2109, 2110, 2111}, GrayGain<3>, 0, 400, 32, 128, false},
    {{2112, 2113, 2114}, GrayOffset<0>, -255, 255, 32, 128, false},
    {{2115, 2116, 2117}, GrayOffset<1>, -255, 255, 32, 128, false},
    {{2118, 2119, 2120}, GrayOffset<2>, -255, 255, 32, 128, false},
    {{2121, 2122, 2123}, GrayOffset<3>, -255, 255, 32, 128, false},
};

std::span<const Row> RowsOf(int page) {
    if (page == 0) return kImageRows;
    return kGrayRows;
}

}  // namespace

ImageDialog::ImageDialog(SessionSettings &settings, bool monochrome)
    : settings_(settings), monochrome_(monochrome) {}

std::vector<TemplateId> ImageDialog::PageTemplates() const {
    if (monochrome_) return {TemplateId::ImageFilterPage, TemplateId::GrayFilterPage};
    return {TemplateId::ImageFilterPage};
}

void ImageDialog::OnInit(DialogHost &host) {
    DialogLogic::OnInit(host);
    const Language language = LanguageOfLocale();
    const DialogTemplate &frame = GetDialogTemplate(TemplateId::ImageFrame, language);
    host.Frame().TabAdd(kTabControl, frame.String("imageFilterTab"));
    if (monochrome_) host.Frame().TabAdd(kTabControl, frame.String("grayFilterTab"));
    host.Frame().TabSelect(kTabControl, kImagePage);
    host.ShowPage(kImagePage, true);
    const bool colour = !monochrome_;
    DialogControls &image = host.Page(kImagePage);
    for (const Row &row : kImageRows) {
        SetUpSliderEdit(image, row.ids, row.minimum, row.maximum, row.ticks, 0,
                        colour || !row.colourOnly);
    }
    for (int id :
         {kOnce, kAllFrames, kBayerFirst, kBayerFirst + 1, kBayerFirst + 2, kBayerFirst + 3}) {
        image.Enable(id, colour);
    }
    if (monochrome_) {
        for (const Row &row : kGrayRows) {
            SetUpSliderEdit(host.Page(kGrayPage), row.ids, row.minimum, row.maximum, row.ticks, 0,
                            true);
        }
    }
    LoadPages();
}

void ImageDialog::LoadPages() {
    LoadPage(kImagePage);
    if (monochrome_) LoadPage(kGrayPage);
}

void ImageDialog::LoadPage(int page) {
    ImageSettings values = settings_.Image();
    DialogControls &controls = Host()->Page(page);
    for (const Row &row : RowsOf(page)) ShowSliderEdit(controls, row.ids, row.field(values));
    if (page == kImagePage) {
        controls.SetChecked(kAllFrames, values.autoBalance != 0 && values.autoBalanceOnceA == 0);
    } else {
        for (int mode = 0; mode < 3; ++mode)
            controls.SetChecked(kGrayModeFirst + mode, values.grayMode == mode);
        controls.SetChecked(kAllFrames, values.grayOneShot < 0);
    }
    ShowBayerMode(values.bayerMode);
}

void ImageDialog::ShowBayerMode(int mode) {
    for (int page = kImagePage; page <= (monochrome_ ? kGrayPage : kImagePage); ++page) {
        for (int phase = 0; phase < 4; ++phase)
            Host()->Page(page).SetChecked(kBayerFirst + phase, phase == mode);
    }
}

void ImageDialog::OnCommand(int page, int id, Notification notification) {
    if (page < 0) {
        OnSettingsFrameCommand(
            id, notification, [this] { ReadBack(); }, [this] { RestoreDefaults(); });
        return;
    }
    if (notification == Notification::Clicked) {
        OnPageClick(page, id);
        return;
    }
    if (notification != Notification::EditChanged) return;
    for (const Row &row : RowsOf(page)) {
        if (row.ids.edit == id) ApplyEdit(page, row);
    }
}

void ImageDialog::OnSliderMoved(int page, int id, int position) {
    if (page < 0) return;
    for (const Row &row : RowsOf(page)) {
        if (row.ids.slider != id) continue;
        // As on Win32: the edit receives the position, and its change stores the value.
        Host()->Page(page).SetText(row.ids.edit, IntegerText(position));
        ApplyEdit(page, row);
    }
}

void ImageDialog::OnTabChanged(int index) {
    for (int page = 0; page < static_cast<int>(PageTemplates().size()); ++page) {
        Host()->ShowPage(page, page == index);
    }
}

void ImageDialog::ApplyEdit(int page, const Row &row) {
    DialogControls &controls = Host()->Page(page);
    const std::optional<int> typed = ParseInteger(controls.GetText(row.ids.edit));
    if (!typed) return;
    const int value = std::clamp(*typed, row.minimum, row.maximum);
    settings_.UpdateImage([&](ImageSettings &s) { row.field(s) = value; });
    controls.SetSliderPosition(row.ids.slider, value);
}

void ImageDialog::OnPageClick(int page, int id) {
    DialogControls &controls = Host()->Page(page);
    if (id >= kBayerFirst && id < kBayerFirst + 4) {
        settings_.UpdateImage([&](ImageSettings &s) { s.bayerMode = id - kBayerFirst; });
        ShowBayerMode(id - kBayerFirst);
        return;
    }
    if (page == kImagePage) {
        if (id == kOnce) {
            settings_.UpdateImage([](ImageSettings &s) {
                s.autoBalance = s.autoBalanceOnceA = s.autoBalanceOnceB = 1;
            });
            controls.SetChecked(kAllFrames, false);
        } else if (id == kAllFrames) {
            const int on = controls.IsChecked(kAllFrames) ? 1 : 0;
            settings_.UpdateImage([on](ImageSettings &s) {
                s.autoBalance = on;
                s.autoBalanceOnceA = s.autoBalanceOnceB = 0;
            });
        }
        return;
    }
    if (id >= kGrayModeFirst && id < kGrayModeFirst + 3) {
        settings_.UpdateImage([&](ImageSettings &s) { s.grayMode = id - kGrayModeFirst; });
        for (int mode = 0; mode < 3; ++mode)
            controls.SetChecked(kGrayModeFirst + mode, id == kGrayModeFirst + mode);
    } else if (id == kOnce) {
        settings_.UpdateImage([](ImageSettings &s) { s.grayOneShot = 1; });
    } else if (id == kAllFrames) {
        // Measuring every frame is a negative count; unchecking stops it.
        const int count = controls.IsChecked(kAllFrames) ? -1 : 0;
        settings_.UpdateImage([count](ImageSettings &s) { s.grayOneShot = count; });
    }
}

void ImageDialog::RestoreDefaults() {
    settings_.UpdateImage([](ImageSettings &s) {
        for (const Row &row : kImageRows) row.field(s) = row.defaultValue;
        for (const Row &row : kGrayRows) row.field(s) = row.defaultValue;
        s.bayerMode = kDefaultBayerMode;
    });
    LoadPages();
}

void ImageDialog::ReadBack() {
    const int pages = monochrome_ ? 2 : 1;
    for (int page = 0; page < pages; ++page) {
        for (const Row &row : RowsOf(page)) ApplyEdit(page, row);
    }
    // The radio buttons already stored their values when clicked.
}

void ImageDialog::Refresh() {
    PostToDialog([this] { LoadPages(); });
}

}  // namespace korvix::dialogs
