#include "session/DeviceNotifications.h"

#include "controller/DeviceTable.h"
#include "controller/KorCy3Cam.h"
#include "platform/Messages.h"

namespace korvix {

bool DeviceNotifications::Start(controller::CKorCy3Cam &controller, KorvixWindow window) {
    Stop();
    token_ = controller.WatchDeviceChanges(
        [window](platform::usb::DeviceChange change, const std::string &path) {
            const auto ids = controller::ParseUsbIds(path);
            const uintptr_t event = change == platform::usb::DeviceChange::Arrival
                                        ? kDeviceArrival
                                        : kDeviceRemoveComplete;
            platform::PostMessage(window, kWmDeviceChange, event, ids ? ids->productId : 0);
        });
    if (token_ == 0) return false;
    controller_ = &controller;
    return true;
}

void DeviceNotifications::Stop() {
    if (controller_ != nullptr) controller_->UnwatchDeviceChanges(token_);
    controller_ = nullptr;
    token_ = 0;
}

}  // namespace korvix
