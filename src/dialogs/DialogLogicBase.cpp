// The part of DialogLogic every dialog shares: the open dialog's host, posting to it, and
// the settings dialogs' frame buttons.
#include "dialogs/DialogControls.h"

namespace korvix::dialogs {

void DialogLogic::PostToDialog(std::function<void()> work) {
    std::lock_guard<std::mutex> hold(hostLock_);
    if (host_ != nullptr) host_->Post(std::move(work));
}

void DialogLogic::OnSettingsFrameCommand(int id, Notification notification,
                                         const std::function<void()> &keep,
                                         const std::function<void()> &restoreDefaults) {
    constexpr int kOk = 1, kCancel = 2, kDefault = 3;
    if (notification != Notification::Clicked) return;
    if (id == kOk) {
        keep();
        host_->EndDialog(kOk);
    } else if (id == kCancel) {
        host_->EndDialog(kCancel);
    } else if (id == kDefault) {
        restoreDefaults();
    }
}

void DialogLogic::Attach(DialogHost &host) {
    std::lock_guard<std::mutex> hold(hostLock_);
    host_ = &host;
}

void DialogLogic::Detach() {
    std::lock_guard<std::mutex> hold(hostLock_);
    host_ = nullptr;
}

}  // namespace korvix::dialogs
