#pragma once

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "MessageInbox.h"
#include "SimulatedCameras.h"

namespace korvix::test {

// Tags of the inbox windows (MessageInbox::Window) frames and codes go to.
constexpr uintptr_t kFrameTag = 0x5100;
constexpr uintptr_t kNotifyTag = 0x5101;
KorvixWindow const kFrameWindow = reinterpret_cast<KorvixWindow>(kFrameTag);

class SystemSessionAcquisition : public SimulatedCamerasTest {
  protected:
    // One camera, selected, without a preview window, in 8-bit mode; its session posts its
    // codes to `notifyWindow`.
    int OpenCamera(const std::string &list = "imx990:scene=ramp", KorvixWindow notifyWindow = nullptr) {
        UseCameras(list);
        const int handle = NewHandle(notifyWindow);
        EXPECT_EQ(Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0), 1);
        EXPECT_EQ(Korvix_SetColorMode(handle, 8), 1);
        return handle;
    }

    // Every frame message delivered before this returns has been recorded: the unsupported
    // function posts a message behind them (to the session's window, the inbox's
    // kNotifyTag window), and the inbox waits for it.
    static std::vector<MessageInbox::Message> Settled(int handle, MessageInbox &inbox) {
        const size_t before = MessageInbox::Count(inbox.Messages(), WM_CAMERA_ERROR, CAMERR_NOT_SUPPORTED);
        Korvix_Fps(handle);
        return inbox.WaitFor(WM_CAMERA_ERROR, CAMERR_NOT_SUPPORTED, before + 1);
    }

    // Waits (bounded) until the camera's register log shows a read of FPGA register `reg`.
    static bool WaitForFpgaRead(uint8_t reg) {
        for (int attempt = 0; attempt < 2000; ++attempt) {
            for (const sim::LogEntry &entry : Camera().Log()) {
                if (entry.target == sim::LogTarget::Fpga && entry.access == sim::LogAccess::Read &&
                    entry.address == reg) {
                    return true;
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(1280 * 1024 * 2);
};

}  // namespace korvix::test
