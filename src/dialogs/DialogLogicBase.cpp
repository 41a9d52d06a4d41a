// The part of DialogLogic every dialog shares: the open dialog's host and posting to it.
#include "dialogs/DialogControls.h"

namespace korvix::dialogs {

void DialogLogic::PostToDialog(std::function<void()> work) {
    std::lock_guard<std::mutex> hold(hostLock_);
    if (host_ != nullptr) host_->Post(std::move(work));
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
