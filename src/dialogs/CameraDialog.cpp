#include "dialogs/CameraDialog.h"

#include <algorithm>
#include <cstdio>

#include "dialogs/SliderEdit.h"

namespace korvix::dialogs {

namespace {

constexpr int kOk = 1, kCancel = 2, kApply = 1002;
constexpr int kTabControl = 1001;
constexpr int kColorList = 1009, kSizeList = 1010, kSubSampleList = 1012, kClockList = 1014;
constexpr int kTotalWidth = 1039, kTotalHeight = 1040, kWidth = 1041, kHeight = 1042,
              kStartX = 1043, kStartY = 1044;
constexpr int kWaitTime = 1045;
constexpr int kColorModes = 6;
constexpr int kFixedClock = 2;  // "High(54MHz)": the only clock these cameras run at
// The full sensor window that "1/2 Skip" needs in the size list.
constexpr SizeEntry kFullWindow;

std::string SizeLine(const SizeEntry &entry) {
    char line[32];
    std::snprintf(line, sizeof line, "%d x %d", entry.width, entry.height);
    return line;
}

int EditNumber(DialogControls &controls, int id) {
    return ParseInteger(controls.GetText(id)).value_or(0);
}

}  // namespace

CameraDialog::CameraDialog(CameraDialogDevice device) : device_(std::move(device)) {}

std::string CameraDialog::Text(const std::string &key) const {
    return GetDialogTemplate(TemplateId::Camera, language_).String(key);
}

std::string CameraDialog::ColorLabel(int index) const {
    return Text("colorMode" + std::to_string(index));
}

void CameraDialog::OnInit(DialogHost &host) {
    DialogLogic::OnInit(host);
    language_ = LanguageOfLocale();
    format_ = LoadStreamFormat(device_.cameraKey);
    DialogControls &controls = Controls();
    controls.TabAdd(kTabControl, Text("tab"));
    controls.TabSelect(kTabControl, 0);
    FillColorList();

    controls.ListAdd(kSubSampleList, Text("subSample0"));
    controls.ListAdd(kSubSampleList, Text("subSample1"));
    const int subSample = format_.subSample == 1 ? 1 : 0;
    controls.ListSelect(kSubSampleList, subSample);

    for (int clock = 0; clock < 3; ++clock)
        controls.ListAdd(kClockList, Text("clock" + std::to_string(clock)));
    controls.ListSelect(kClockList, kFixedClock);
    controls.Enable(kClockList, false);

    FillSizeList();
    const int sizeCount = static_cast<int>(format_.sizes.size());
    const int size = format_.size >= 0 && format_.size <= sizeCount ? format_.size : sizeCount;
    controls.ListSelect(kSizeList, size);
    ShowSize(size);

    if (subSample == 1) EnableWindowEdits(false);
    controls.SetText(kWaitTime, IntegerText(format_.waitTime));
    controls.Enable(kApply, false);
    if (!device_.widthVariable) {
        for (int id : {kTotalWidth, kWidth, kStartX}) controls.Enable(id, false);
    }
    if (!device_.heightVariable) {
        for (int id : {kTotalHeight, kHeight, kStartY}) controls.Enable(id, false);
    }
    if (!device_.widthVariable && !device_.heightVariable) controls.Enable(kSizeList, false);
}

void CameraDialog::FillColorList() {
    DialogControls &controls = Controls();
    if (device_.canOutput8Bit) controls.ListAdd(kColorList, ColorLabel(0));
    if (device_.canOutput16Bit) controls.ListAdd(kColorList, ColorLabel(1));
    if (device_.canOutputColor) {
        for (int index = 2; index < kColorModes; ++index)
            controls.ListAdd(kColorList, ColorLabel(index));
    }
    if (!device_.canOutputColor) {
        if (device_.canOutput16Bit) {
            format_.color = 1;
        } else if (device_.canOutput8Bit) {
            format_.color = 0;
        }
    }
    int selected = 0;
    for (int entry = 0; entry < controls.ListCount(kColorList); ++entry) {
        if (format_.color >= 0 && format_.color < kColorModes &&
            controls.ListText(kColorList, entry) == ColorLabel(format_.color)) {
            selected = entry;
        }
    }
    controls.ListSelect(kColorList, selected);
}

void CameraDialog::FillSizeList() {
    DialogControls &controls = Controls();
    for (const SizeEntry &entry : format_.sizes) controls.ListAdd(kSizeList, SizeLine(entry));
    controls.ListAdd(kSizeList, Text("customSize"));
}

// The six window values of entry `index` in the edits; the "Custom" line shows the values
// an unused table entry starts with.
void CameraDialog::ShowSize(int index) {
    const SizeEntry entry = index >= 0 && index < static_cast<int>(format_.sizes.size())
                                ? format_.sizes[index]
                                : SizeEntry{};
    DialogControls &controls = Controls();
    controls.SetText(kTotalWidth, IntegerText(entry.totalWidth));
    controls.SetText(kTotalHeight, IntegerText(entry.totalHeight));
    controls.SetText(kWidth, IntegerText(entry.width));
    controls.SetText(kHeight, IntegerText(entry.height));
    controls.SetText(kStartX, IntegerText(entry.startX));
    controls.SetText(kStartY, IntegerText(entry.startY));
}

void CameraDialog::EnableWindowEdits(bool enabled) {
    for (int id : {kWidth, kHeight, kStartX, kStartY, kSizeList}) Controls().Enable(id, enabled);
}

void CameraDialog::OnCommand(int page, int id, Notification notification) {
    if (page >= 0) return;
    DialogControls &controls = Controls();
    if (notification == Notification::Clicked) {
        if ((id == kOk || id == kApply) && Collect()) {
            SaveStreamFormat(device_.cameraKey, format_);
            if (id == kOk) Host()->EndDialog(kOk);
        } else if (id == kCancel) {
            Host()->EndDialog(kCancel);
        }
        return;
    }
    if (notification == Notification::SelectionChanged && id == kSizeList) {
        format_.size = controls.ListSelection(kSizeList);
        if (format_.size < static_cast<int>(format_.sizes.size())) ShowSize(format_.size);
    } else if (notification == Notification::SelectionChanged && id == kSubSampleList) {
        OnSubSampleChanged();
    }
    controls.Enable(kApply, true);
}

void CameraDialog::OnSubSampleChanged() {
    DialogControls &controls = Controls();
    if (controls.ListSelection(kSubSampleList) != 1) {
        EnableWindowEdits(true);
        for (int id : {kTotalWidth, kTotalHeight}) controls.Enable(id, true);
        return;
    }
    EnableWindowEdits(false);
    auto full =
        std::find_if(format_.sizes.begin(), format_.sizes.end(), [](const SizeEntry &entry) {
            return entry.width == kFullWindow.width && entry.height == kFullWindow.height &&
                   entry.startX == 0 && entry.startY == 0;
        });
    int index = static_cast<int>(full - format_.sizes.begin());
    if (full == format_.sizes.end()) {
        if (format_.sizes.size() >= StreamFormat::kMaxSizes) {
            Host()->ShowMessage(Text("sizeTableFull"));
            return;
        }
        // The new line goes before "Custom", so list lines and table entries keep one index.
        format_.sizes.push_back(kFullWindow);
        controls.ListInsert(kSizeList, index, SizeLine(kFullWindow));
    }
    format_.size = index;
    controls.ListSelect(kSizeList, index);
    ShowSize(index);
}

bool CameraDialog::Collect() {
    DialogControls &controls = Controls();
    const std::string colorText = controls.ListText(kColorList, controls.ListSelection(kColorList));
    for (int index = 0; index < kColorModes; ++index) {
        if (colorText == ColorLabel(index)) format_.color = index;
    }
    const int sizeCount = static_cast<int>(format_.sizes.size());
    const int size = controls.ListSelection(kSizeList);
    if (size == sizeCount && sizeCount >= StreamFormat::kMaxSizes) {
        Host()->ShowMessage(Text("sizeTableFull"));
        return false;
    }
    if (size >= 0) format_.size = size;
    if (controls.ListSelection(kSubSampleList) >= 0)
        format_.subSample = controls.ListSelection(kSubSampleList);
    if (controls.ListSelection(kClockList) >= 0) format_.clock = controls.ListSelection(kClockList);
    format_.waitTime = ParseInteger(controls.GetText(kWaitTime)).value_or(format_.waitTime);

    if (size >= 0 && size <= sizeCount) {
        SizeEntry entry = size < sizeCount ? format_.sizes[size] : SizeEntry{};
        entry.totalWidth = EditNumber(controls, kTotalWidth);
        entry.totalHeight = EditNumber(controls, kTotalHeight);
        entry.width = EditNumber(controls, kWidth);
        entry.height = EditNumber(controls, kHeight);
        entry.startX = EditNumber(controls, kStartX);
        entry.startY = EditNumber(controls, kStartY);
        if (size == sizeCount) {
            format_.sizes.push_back(entry);
        } else {
            format_.sizes[size] = entry;
            controls.ListDelete(kSizeList, size);
        }
        controls.ListInsert(kSizeList, size, SizeLine(entry));
        controls.ListSelect(kSizeList, size);
    }
    controls.Enable(kApply, false);
    return true;
}

}  // namespace korvix::dialogs
