#include "dialogs/AnalogDialog.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/KorvixU3T2Base.h"

namespace korvix::dialogs {

namespace {

constexpr int kTabControl = 1001;
constexpr SliderEditIds kGain{1013, 1015, 1038};
constexpr SliderEditIds kExposure{1026, 1027, 1043};
constexpr SliderEditIds kBlackLevel{2128, 2129, 2130};
constexpr SliderEditIds kColourGains[] = {
    {1018, 1019, 1039}, {1020, 1021, 1040}, {1022, 1023, 1041}, {1024, 1025, 1042}};
constexpr int kExposureCaption = 2135, kMilliseconds = 1049;
constexpr int kSecondsCaption = 2134, kSecondsEdit = 2131, kUnitList = 2132, kRangeText = 2133;
constexpr int kBlackLevelCaption = 2127;
constexpr int kPeltier = 2124, kShortExposure = 2125, kGainMode = 2126;
constexpr int kAutoGain = 1036, kAutoExposure = 1037;
constexpr int kMirrorV = 1028, kMirrorH = 1029;
constexpr int kAutoModeExposure = 1, kAutoModeGain = 2;

constexpr double kUnitFactors[] = {1e9, 1e6, 1e3, 1.0};
// Shown as the system's own texts on every language; the micro sign is U+03BC.
constexpr const char *kUnitNames[] = {"ns", "\xCE\xBCs", "ms", "sec"};

// The colour gains in the page's order G1, R, B, G2.
constexpr sensors::ColorGainChannel kColourChannels[] = {
    sensors::ColorGainChannel::Green1, sensors::ColorGainChannel::Red,
    sensors::ColorGainChannel::Blue, sensors::ColorGainChannel::Green2};

int32_t &ColourGain(CameraSettings &camera, int index) {
    int32_t *gains[] = {&camera.colorGainGreen1, &camera.colorGainRed, &camera.colorGainBlue,
                        &camera.colorGainGreen2};
    return *gains[index];
}

std::string Fixed(double value, int decimals) {
    char text[64];
    const auto result =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return std::string(text, result.ptr);
}

}  // namespace

int ExposureUnitOf(double seconds) {
    if (seconds > 1.0) return 3;
    if (seconds >= 0.001) return 2;
    if (seconds >= 0.000001) return 1;
    return 0;
}

std::string ExposureText(double value) {
    const double fraction = value - std::floor(value);
    if (fraction >= 0.001) return Fixed(value, 3);
    if (fraction >= 0.000001) return Fixed(value, 6);
    return IntegerText(static_cast<int>(value));
}

AnalogDialog::AnalogDialog(SessionSettings &settings, core::CKorvixU3T2Base &core)
    : settings_(settings), core_(core), colourPage_(core.CanOutputColor() != 0) {}

std::vector<TemplateId> AnalogDialog::PageTemplates() const {
    return {colourPage_ ? TemplateId::AnalogColorPage : TemplateId::AnalogMonoPage};
}

void AnalogDialog::OnInit(DialogHost &host) {
    DialogLogic::OnInit(host);
    const DialogTemplate &frame = GetDialogTemplate(TemplateId::AnalogFrame, LanguageOfLocale());
    host.Frame().TabAdd(kTabControl, frame.String("tab"));
    host.Frame().TabSelect(kTabControl, 0);
    host.ShowPage(0, true);
    SetUpRanges();
    SetUpExposureInSeconds();
    if (!colourPage_) {
        DialogControls &page = Page();
        if (core_.IsBlackLevelSupported() == 0) {
            ShowSliderEditControls(page, kBlackLevel, false);
            page.Show(kBlackLevelCaption, false);
        }
        page.Show(kPeltier, core_.HasPeltier() != 0);
        // None of these cameras has the short-exposure mode of other heads.
        page.Show(kShortExposure, false);
        const DialogTemplate &texts =
            GetDialogTemplate(TemplateId::AnalogMonoPage, LanguageOfLocale());
        const int mode = core_.HasGainMode() != 0 ? core_.GetGainMode() : -1;
        if (mode >= 0) {
            page.ListAdd(kGainMode, texts.String("highGain"));
            page.ListAdd(kGainMode, texts.String("lowGain"));
        }
        page.Show(kGainMode, mode >= 0);
    }
    LoadControls();
}

void AnalogDialog::SetUpRanges() {
    DialogControls &page = Page();
    const int gainMin = core_.GetGlobalGainMin(), gainMax = core_.GetGlobalGainMax();
    SetUpSliderEdit(page, kGain, gainMin, gainMax, (gainMax - gainMin) / 8, 0, true);
    SetUpSliderEdit(page, kExposure, core_.GetExposureTimeMin(), core_.GetExposureTimeMax(), 0, 0,
                    true);
    if (colourPage_) {
        for (const SliderEditIds &ids : kColourGains) {
            SetUpSliderEdit(page, ids, core_.GetChannelGainMin(), core_.GetChannelGainMax(), 0, 0,
                            false);
        }
    } else if (core_.IsBlackLevelSupported() != 0) {
        SetUpSliderEdit(page, kBlackLevel, core_.GetBlackLevelMin(), core_.GetBlackLevelMax(), 0, 0,
                        true);
    }
}

void AnalogDialog::SetUpExposureInSeconds() {
    DialogControls &page = Page();
    double minimum = 0.0, maximum = 0.0;
    exposureInSeconds_ = core_.IsExposureTimeExSupported() != 0 &&
                         core_.GetExposureTimeExMin(&minimum) != 0 &&
                         core_.GetExposureTimeExMax(&maximum) != 0;
    for (int id : {kSecondsCaption, kSecondsEdit, kUnitList, kRangeText})
        page.Show(id, exposureInSeconds_);
    ShowSliderEditControls(page, kExposure, !exposureInSeconds_);
    page.Show(kExposureCaption, !exposureInSeconds_);
    page.Show(kMilliseconds, !exposureInSeconds_);
    if (!exposureInSeconds_) return;
    firstUnit_ = ExposureUnitOf(minimum);
    const int lastUnit = ExposureUnitOf(maximum);
    for (int unit = firstUnit_; unit <= lastUnit; ++unit) page.ListAdd(kUnitList, kUnitNames[unit]);
    const int minUnit = firstUnit_, maxUnit = lastUnit;
    char range[96];
    std::snprintf(range, sizeof range, "%d%s - %d%s",
                  static_cast<int>(minimum * kUnitFactors[minUnit]), kUnitNames[minUnit],
                  static_cast<int>(maximum * kUnitFactors[maxUnit]), kUnitNames[maxUnit]);
    const TemplateId texts = colourPage_ ? TemplateId::AnalogColorPage : TemplateId::AnalogMonoPage;
    page.SetText(kRangeText,
                 GetDialogTemplate(texts, LanguageOfLocale()).String("rangePrefix") + range);
}

// Every control's value from the cached settings.
void AnalogDialog::LoadControls() {
    DialogControls &page = Page();
    const CameraSettings camera = settings_.Camera();
    ShowSliderEdit(page, kGain, camera.globalGain);
    ShowSliderEdit(page, kExposure, camera.exposure);
    if (colourPage_) {
        CameraSettings copy = camera;
        for (int i = 0; i < 4; ++i) ShowSliderEdit(page, kColourGains[i], ColourGain(copy, i));
    } else {
        if (core_.IsBlackLevelSupported() != 0)
            ShowSliderEdit(page, kBlackLevel, camera.blackLevel);
        page.SetChecked(kPeltier, camera.cooler != 0);
        if (page.IsShown(kGainMode)) page.ListSelect(kGainMode, core_.GetGainMode());
    }
    page.SetChecked(kMirrorV, camera.mirrorV != 0);
    page.SetChecked(kMirrorH, camera.mirrorH != 0);
    page.SetChecked(kAutoExposure, camera.autoExposureMode == kAutoModeExposure);
    page.SetChecked(kAutoGain, camera.autoExposureMode == kAutoModeGain);
    if (exposureInSeconds_) {
        const int unit = std::max(ExposureUnitOf(camera.exposureSeconds), firstUnit_);
        page.ListSelect(kUnitList, std::min(unit - firstUnit_, page.ListCount(kUnitList) - 1));
        ShowExposureInSeconds();
    }
    ShowMilliseconds();
}

int AnalogDialog::SelectedUnit() {
    return firstUnit_ + std::max(Page().ListSelection(kUnitList), 0);
}

void AnalogDialog::ShowExposureInSeconds() {
    if (!exposureInSeconds_) return;
    const double seconds = settings_.Camera().exposureSeconds;
    Page().SetText(kSecondsEdit, ExposureText(seconds * kUnitFactors[SelectedUnit()]));
}

void AnalogDialog::ShowMilliseconds() {
    char text[48];
    std::snprintf(text, sizeof text, "=%sms", Fixed(settings_.Camera().exposure / 10.0, 2).c_str());
    Page().SetText(kMilliseconds, text);
}

void AnalogDialog::OnSliderMoved(int page, int id, int position) {
    if (page != 0) return;
    // As on Win32: the edit receives the position, and its change acts.
    if (id == kGain.slider) {
        Page().SetText(kGain.edit, IntegerText(position));
        OnGainEdit();
    } else if (id == kExposure.slider) {
        Page().SetText(kExposure.edit, IntegerText(position));
        OnExposureEdit();
    } else if (id == kBlackLevel.slider && !colourPage_) {
        Page().SetText(kBlackLevel.edit, IntegerText(position));
        OnBlackLevelEdit();
    }
    for (int i = 0; colourPage_ && i < 4; ++i) {
        if (id != kColourGains[i].slider) continue;
        Page().SetText(kColourGains[i].edit, IntegerText(position));
        OnColourGainEdit(i);
    }
}

void AnalogDialog::OnCommand(int page, int id, Notification notification) {
    if (page < 0) {
        OnSettingsFrameCommand(
            id, notification, [this] { CopyControlsToCache(); }, [this] { RestoreDefaults(); });
        return;
    }
    if (notification == Notification::EditChanged) {
        if (id == kGain.edit) OnGainEdit();
        if (id == kExposure.edit) OnExposureEdit();
        if (id == kSecondsEdit) OnExposureSecondsEdit();
        if (id == kBlackLevel.edit && !colourPage_) OnBlackLevelEdit();
        for (int i = 0; colourPage_ && i < 4; ++i) {
            if (id == kColourGains[i].edit) OnColourGainEdit(i);
        }
    } else if (notification == Notification::SelectionChanged) {
        if (id == kUnitList) ShowExposureInSeconds();
        if (id == kGainMode && !colourPage_) {
            const int mode = Page().ListSelection(kGainMode) != 0 ? 1 : 0;
            core_.SetGainMode(mode);
            settings_.UpdateCamera([mode](CameraSettings &c) { c.gainMode = mode; });
        }
    } else {
        OnCheckBox(id);
    }
}

void AnalogDialog::OnGainEdit() {
    const std::optional<int> typed = ParseInteger(Page().GetText(kGain.edit));
    if (!typed) return;
    const int gain = std::clamp(*typed, core_.GetGlobalGainMin(), core_.GetGlobalGainMax());
    settings_.UpdateCamera([gain](CameraSettings &c) { c.globalGain = gain; });
    Page().SetSliderPosition(kGain.slider, gain);
    core_.SetGlobalGain(static_cast<unsigned>(gain));
}

void AnalogDialog::OnColourGainEdit(int index) {
    const std::optional<int> typed = ParseInteger(Page().GetText(kColourGains[index].edit));
    if (!typed) return;
    const int gain = std::clamp(*typed, core_.GetChannelGainMin(), core_.GetChannelGainMax());
    settings_.UpdateCamera([gain, index](CameraSettings &c) { ColourGain(c, index) = gain; });
    Page().SetSliderPosition(kColourGains[index].slider, gain);
    core_.SetColorGain(kColourChannels[index], static_cast<unsigned>(gain));
}

void AnalogDialog::OnExposureEdit() {
    const std::optional<int> typed = ParseInteger(Page().GetText(kExposure.edit));
    if (!typed) return;
    const int exposure = std::clamp(*typed, core_.GetExposureTimeMin(), core_.GetExposureTimeMax());
    Page().SetSliderPosition(kExposure.slider, exposure);
    core_.SetExposureTime(static_cast<unsigned>(exposure));
    ReadExposureBack();
    ShowMilliseconds();
    ShowExposureInSeconds();
}

void AnalogDialog::OnExposureSecondsEdit() {
    const std::optional<double> typed = ParseReal(Page().GetText(kSecondsEdit));
    if (!typed) return;
    const double seconds = *typed / kUnitFactors[SelectedUnit()];
    // A time the device refuses (outside its range) changes nothing.
    if (core_.SetExposureTimeEx(seconds) == 0) return;
    settings_.UpdateCamera([seconds](CameraSettings &c) { c.exposureSeconds = seconds; });
    const int exposure = core_.GetExposureTime();
    settings_.UpdateCamera([exposure](CameraSettings &c) { c.exposure = exposure; });
    ShowSliderEdit(Page(), kExposure, exposure);
    ShowMilliseconds();
}

void AnalogDialog::OnBlackLevelEdit() {
    const std::optional<int> typed = ParseInteger(Page().GetText(kBlackLevel.edit));
    if (!typed) return;
    const int level = std::clamp(*typed, core_.GetBlackLevelMin(), core_.GetBlackLevelMax());
    Page().SetSliderPosition(kBlackLevel.slider, level);
    core_.SetBlackLevel(static_cast<unsigned>(level));
    settings_.UpdateCamera([level](CameraSettings &c) { c.blackLevel = level; });
}

void AnalogDialog::OnCheckBox(int id) {
    DialogControls &page = Page();
    const int on = page.IsChecked(id) ? 1 : 0;
    if (id == kPeltier && !colourPage_) {
        core_.SetPeltier(on);
        settings_.UpdateCamera([on](CameraSettings &c) { c.cooler = on; });
    } else if (id == kMirrorV) {
        core_.SetMirrorV(on);
        settings_.UpdateCamera([on](CameraSettings &c) { c.mirrorV = on; });
    } else if (id == kMirrorH) {
        core_.SetMirrorH(on);
        settings_.UpdateCamera([on](CameraSettings &c) { c.mirrorH = on; });
    } else if (id == kAutoGain || id == kAutoExposure) {
        // The two automatic modes exclude each other.
        const int other = id == kAutoGain ? kAutoExposure : kAutoGain;
        if (on) page.SetChecked(other, false);
        const int mode = !on ? 0 : id == kAutoGain ? kAutoModeGain : kAutoModeExposure;
        settings_.UpdateCamera([mode](CameraSettings &c) { c.autoExposureMode = mode; });
    }
}

void AnalogDialog::ReadExposureBack() {
    const int exposure = core_.GetExposureTime();
    double seconds = 0.0;
    const bool haveSeconds = exposureInSeconds_ && core_.GetExposureTimeEx(&seconds) != 0;
    settings_.UpdateCamera([&](CameraSettings &c) {
        c.exposure = exposure;
        if (haveSeconds) c.exposureSeconds = seconds;
    });
}

void AnalogDialog::RestoreDefaults() {
    const int gain = core_.GetGlobalGainDefault();
    core_.SetGlobalGain(static_cast<unsigned>(gain));
    const int channelGain = core_.GetChannelGainDefault();
    for (sensors::ColorGainChannel channel : kColourChannels) {
        core_.SetColorGain(channel, static_cast<unsigned>(channelGain));
    }
    settings_.UpdateCamera([&](CameraSettings &c) {
        c.globalGain = gain;
        for (int i = 0; i < 4; ++i) ColourGain(c, i) = channelGain;
    });
    double seconds = 0.0;
    if (exposureInSeconds_ && core_.GetExposureTimeExDefault(&seconds) != 0) {
        core_.SetExposureTimeEx(seconds);
    } else {
        core_.SetExposureTime(static_cast<unsigned>(core_.GetExposureTimeDefault()));
    }
    ReadExposureBack();
    if (!colourPage_) {
        if (core_.IsBlackLevelSupported() != 0) {
            const int level = core_.GetBlackLevelDefault();
            core_.SetBlackLevel(static_cast<unsigned>(level));
            settings_.UpdateCamera([level](CameraSettings &c) { c.blackLevel = level; });
        }
        if (core_.HasPeltier() != 0) {
            core_.SetPeltier(1);
            settings_.UpdateCamera([](CameraSettings &c) { c.cooler = 1; });
        }
        if (Page().IsShown(kGainMode)) {
            core_.SetGainMode(0);
            settings_.UpdateCamera([](CameraSettings &c) { c.gainMode = 0; });
        }
    }
    LoadControls();
}

void AnalogDialog::CopyControlsToCache() {
    DialogControls &page = Page();
    auto number = [&page](int id) { return ParseInteger(page.GetText(id)); };
    settings_.UpdateCamera([&](CameraSettings &c) {
        c.globalGain = number(kGain.edit).value_or(c.globalGain);
        c.exposure = number(kExposure.edit).value_or(c.exposure);
        if (colourPage_) {
            for (int i = 0; i < 4; ++i)
                ColourGain(c, i) = number(kColourGains[i].edit).value_or(ColourGain(c, i));
            return;
        }
        if (page.IsShown(kBlackLevel.edit))
            c.blackLevel = number(kBlackLevel.edit).value_or(c.blackLevel);
        if (page.IsShown(kPeltier)) c.cooler = page.IsChecked(kPeltier) ? 1 : 0;
        if (page.IsShown(kGainMode) && page.ListSelection(kGainMode) >= 0) {
            c.gainMode = page.ListSelection(kGainMode) != 0 ? 1 : 0;
        }
    });
}

void AnalogDialog::ShowGlobalGain(int gain) {
    PostToDialog([this, gain] {
        Page().SetText(kGain.edit, IntegerText(gain));
        OnGainEdit();
    });
}

void AnalogDialog::ShowExposure(int exposure) {
    PostToDialog([this, exposure] {
        Page().SetText(kExposure.edit, IntegerText(exposure));
        OnExposureEdit();
    });
}

}  // namespace korvix::dialogs
