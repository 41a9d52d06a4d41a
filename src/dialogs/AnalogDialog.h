#pragma once

// The analog settings dialog: global gain, exposure (in 0.1 ms steps, or as a time with a
// unit on devices that take a real exposure), black level, Peltier cooler, gain mode,
// mirrors and the automatic exposure mode. Every control acts on the device at once and
// caches what it set in the session's camera settings; the session puts gain, exposure and
// mirrors back when the dialog does not end with OK.

#include "dialogs/DialogControls.h"
#include "dialogs/SliderEdit.h"
#include "session/SessionSettings.h"

namespace korvix::core {
class CKorvixU3T2Base;
}

namespace korvix::dialogs {

class AnalogDialog : public DialogLogic {
  public:
    AnalogDialog(SessionSettings &settings, core::CKorvixU3T2Base &core);

    TemplateId FrameTemplate() const override { return TemplateId::AnalogFrame; }
    std::vector<TemplateId> PageTemplates() const override;

    void OnInit(DialogHost &host) override;
    void OnCommand(int page, int id, Notification notification) override;
    void OnSliderMoved(int page, int id, int position) override;
    void OnTabChanged(int) override {}

    // Any thread (the automatic exposure): the new global gain or exposure (0.1 ms) goes
    // into the open page's edit and through the same action as a user's change. Does
    // nothing when the dialog is not open.
    void ShowGlobalGain(int gain);
    void ShowExposure(int exposure);

  private:
    DialogControls &Page() { return Host()->Page(0); }
    void SetUpRanges();
    void SetUpExposureInSeconds();
    void LoadControls();
    void ShowExposureInSeconds();
    void ShowMilliseconds();
    void OnGainEdit();
    void OnColourGainEdit(int index);
    void OnExposureEdit();
    void OnExposureSecondsEdit();
    void OnBlackLevelEdit();
    void OnCheckBox(int id);
    void RestoreDefaults();
    void CopyControlsToCache();
    // The cached exposure and exposureSeconds as the device now reports them.
    void ReadExposureBack();
    // The unit of the unit list's selection (0 ns .. 3 sec).
    int SelectedUnit();

    SessionSettings &settings_;
    core::CKorvixU3T2Base &core_;
    bool colourPage_;
    bool exposureInSeconds_ = false;
    int firstUnit_ = 0;  // the unit of the unit list's first entry
};

// The unit a time in seconds is shown in: 3 "sec" above 1 s, 2 "ms" from 1 ms, 1 micro-
// seconds from 1 us, else 0 "ns".
int ExposureUnitOf(double seconds);
// A value in the exposure edit: three decimals when its fraction reaches 0.001, six when it
// reaches 0.000001, else the integer part.
std::string ExposureText(double value);

}  // namespace korvix::dialogs
