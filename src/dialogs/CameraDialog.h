#pragma once

// The camera settings dialog: the stream format of one camera (colour mode, image size from
// a list the user can extend, sub-sampling, wait time, clock). It reads and writes only the
// camera's key in the settings store; the session applies the stored values after OK.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dialogs/DialogControls.h"

namespace korvix::dialogs {

// What the session tells the dialog about the selected camera.
struct CameraDialogDevice {
    std::string cameraKey;        // the camera's key path in the settings store
    bool widthVariable = false;   // the device allows a free horizontal window
    bool heightVariable = false;  // ... and a free vertical window
    bool canOutput8Bit = false;
    bool canOutput16Bit = false;
    bool canOutputColor = false;
};

// One size preset: TH, TV, EH, EV, EHS, EVS, Buf.
struct SizeEntry {
    int32_t totalWidth = 1280;
    int32_t totalHeight = 1024;
    int32_t width = 1280;
    int32_t height = 1024;
    int32_t startX = 0;
    int32_t startY = 0;
    int32_t bufferCount = 4;  // carried through unchanged
};

// The stored stream format of one camera, as the dialog edits it.
struct StreamFormat {
    static constexpr int kMaxSizes = 100;
    std::vector<SizeEntry> sizes;  // at most kMaxSizes
    int32_t size = 0;
    int32_t color = 2;
    int32_t subSample = 0;
    int32_t waitTime = 1;
    int32_t clock = 0;
};

// The camera key's presets "Size_00".. (up to the first missing one) and its five values;
// a key that cannot be opened reads nothing, a missing value keeps the start value.
StreamFormat LoadStreamFormat(const std::string &cameraKey);
// Creates the camera key, one "Size_NN" subkey per entry and the five values; a store
// failure ends the save silently.
void SaveStreamFormat(const std::string &cameraKey, const StreamFormat &format);

class CameraDialog : public DialogLogic {
  public:
    explicit CameraDialog(CameraDialogDevice device);

    TemplateId FrameTemplate() const override { return TemplateId::Camera; }
    std::vector<TemplateId> PageTemplates() const override { return {}; }

    void OnInit(DialogHost &host) override;
    void OnCommand(int page, int id, Notification notification) override;
    void OnSliderMoved(int, int, int) override {}
    void OnTabChanged(int) override {}

  private:
    DialogControls &Controls() { return Host()->Frame(); }
    std::string Text(const std::string &key) const;
    std::string ColorLabel(int index) const;
    void FillColorList();
    void FillSizeList();
    void ShowSize(int index);
    void EnableWindowEdits(bool enabled);
    void OnSubSampleChanged();
    // Reads the controls into the format; false when the user asked for a size the table
    // has no room for (the dialog then says so and nothing is saved).
    bool Collect();

    CameraDialogDevice device_;
    StreamFormat format_;
    Language language_ = Language::English;
};

}  // namespace korvix::dialogs
