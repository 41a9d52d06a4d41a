// Shows the camera's frames in an OpenCV window until a key is pressed. The library copies
// each frame into our buffer and announces it through the message handler; the main thread
// shows the newest one.
//
//   KORVIX_SIMULATE=imx990 ./opencv_viewer

#include <KorvixSdk_Tesslin.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <vector>

#include <opencv2/highgui.hpp>
#include <opencv2/imgproc.hpp>

namespace {

struct Viewer {
    std::mutex lock;  // guards shown
    cv::Mat shown;
    std::atomic<bool> fresh{false};
};

char frameWindow;  // the value the library hands back with each frame message

void OnMessage(void *window, unsigned int message, uintptr_t wParam, intptr_t, void *context) {
    if (window != &frameWindow || message != WM_CAMERA_FRAME || wParam == 0) return;
    auto *viewer = static_cast<Viewer *>(context);
    const auto *info = reinterpret_cast<const KorvixFrameInfo *>(wParam);
    const size_t stride = static_cast<size_t>((info->width * info->bitCount / 8 + 3) & ~3);
    // The buffer holds this frame, whole, until the handler returns.
    // 16-bit gray with 12 significant bits: show the top 8 of them.
    cv::Mat frame(info->height, info->width, CV_16UC1, info->userBuffer, stride);
    std::lock_guard guard(viewer->lock);
    frame.convertTo(viewer->shown, CV_8U, 1.0 / 16);
    viewer->fresh = true;
}

}  // namespace

int main() {
    Viewer viewer;
    Korvix_SetMessageHandler(OnMessage, &viewer);
    const int handle = Korvix_Initialize(nullptr);
    if (handle == 0 || !Korvix_SetDeviceNumber(handle, 0) || !Korvix_SetColorMode(handle, 16) ||
        !Korvix_SetPreviewWindow(handle, nullptr, 0, 0, 0, 0)) {
        std::fprintf(stderr, "no camera (error code %d)\n", handle ? Korvix_GetLastError(handle) : 0);
        return 1;
    }
    const int stride = (Korvix_Width(handle) * 2 + 3) & ~3;
    std::vector<unsigned char> buffer(static_cast<size_t>(stride) * Korvix_Height(handle));
    if (!Korvix_CallBackPreview(handle, &frameWindow, buffer.data(), static_cast<int>(buffer.size()), 1)) {
        std::fprintf(stderr, "preview failed (error code %d)\n", Korvix_GetLastError(handle));
        return 1;
    }
    cv::namedWindow("korvix", cv::WINDOW_AUTOSIZE);
    while (cv::waitKey(15) < 0) {
        if (!viewer.fresh.exchange(false)) continue;
        std::lock_guard guard(viewer.lock);
        cv::imshow("korvix", viewer.shown);
    }
    Korvix_StopPreview(handle);
    Korvix_SetMessageHandler(nullptr, nullptr);
    Korvix_Release(handle);
    return 0;
}
