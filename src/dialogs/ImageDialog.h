#pragma once

// The image settings dialog: the Image Filter page (filters, colour balance, gamma, white
// balance, Bayer phase) and, for the monochrome colour modes, the Gray Filter page (gray
// gains and offsets per Bayer site, gray mode, automatic gray gain, Bayer phase). Every
// change is live: the pages write straight into the session's image settings. Cancel
// leaves the restoring to the session, which keeps a copy from before the dialog.

#include "dialogs/DialogControls.h"
#include "dialogs/SliderEdit.h"
#include "session/SessionSettings.h"

namespace korvix::dialogs {

class ImageDialog : public DialogLogic {
  public:
    // `monochrome`: the session's colour mode is 8- or 16-bit monochrome, so the colour
    // controls of the Image Filter page are disabled and the Gray Filter page is present.
    ImageDialog(SessionSettings &settings, bool monochrome);

    TemplateId FrameTemplate() const override { return TemplateId::ImageFrame; }
    std::vector<TemplateId> PageTemplates() const override;

    void OnInit(DialogHost &host) override;
    void OnCommand(int page, int id, Notification notification) override;
    void OnSliderMoved(int page, int id, int position) override;
    void OnTabChanged(int index) override;

    // Any thread: shows the settings again (after the pipeline's automatic balance
    // changed them). Does nothing when the dialog is not open.
    void Refresh();

    // One slider, edit and spin and the setting behind them.
    struct Row {
        SliderEditIds ids;
        int32_t &(*field)(ImageSettings &settings);
        int minimum;
        int maximum;
        int ticks;
        int defaultValue;
        bool colourOnly;  // disabled in the monochrome modes
    };

  private:
    static constexpr int kImagePage = 0;
    static constexpr int kGrayPage = 1;

    void LoadPages();
    void LoadPage(int page);
    // The edit of `row` changed: store its number, limited to the row's range, and move
    // the slider. Text that is not a number changes nothing.
    void ApplyEdit(int page, const Row &row);
    void OnPageClick(int page, int id);
    void ShowBayerMode(int mode);
    void RestoreDefaults();
    void ReadBack();

    SessionSettings &settings_;
    bool monochrome_;
};

}  // namespace korvix::dialogs
