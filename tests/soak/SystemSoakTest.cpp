// Soak: two simulated cameras in callback preview through the public functions of the shared
// library, for KORVIX_SOAK_FRAMES frame messages each (10000 by default). One thread stops
// each preview again and again and, while it is stopped, changes exposure, gain, mirrors,
// brightness, contrast, gamma and the colour mode before starting it again; another fetches
// and saves the current image of each camera all the while. Counts every frame message and
// every failure, checks every fetched image for tearing, and reports the memory used.
//
// The cameras show the exact ramp (every row 0 to 4095 across the window): every row of a
// whole frame is the same, running one way (the mirror) through values that only rise or only
// fall (the filters keep the order). A frame mixed from two preview runs of different
// settings breaks that.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "KorvixSdk_Tesslin.h"

namespace {

constexpr int kCameras = 2;
constexpr int kWidth = 1280;
constexpr int kHeight = 128;  // a band of the sensor: short frames, many of them
constexpr int kMaxFrameBytes = kWidth * 2 * kHeight;
constexpr int kFramesPerCycle = 250;
constexpr int kFramesPerFetch = 10;

int FramesWanted() {
    const char *text = std::getenv("KORVIX_SOAK_FRAMES");
    return text != nullptr && std::atoi(text) > 0 ? std::atoi(text) : 10000;
}

// Resident memory now, in KiB (VmRSS).
long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

long PeakResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// What the message handler counts, per camera (the frame window is the camera index + 1).
struct Counts {
    std::mutex mutex;
    std::condition_variable changed;
    long frames[kCameras] = {};
    long failures[kCameras] = {};
};

void OnMessage(void *window, unsigned int message, uintptr_t, intptr_t lParam, void *context) {
    if (message != WM_CAMERA_FRAME) return;
    const auto camera = reinterpret_cast<uintptr_t>(window) - 1;
    if (camera >= kCameras) return;
    auto &counts = *static_cast<Counts *>(context);
    {
        std::lock_guard hold(counts.mutex);
        (lParam == 0 ? counts.frames : counts.failures)[camera]++;
    }
    counts.changed.notify_all();
}

template <typename Sample>
bool WholeFrame(const uint8_t *bytes, int width, int height, int pitch) {
    const auto row = [&](int y) { return reinterpret_cast<const Sample *>(bytes + y * pitch); };
    const Sample *first = row(0);
    bool rising = true, falling = true;
    for (int x = 1; x < width; ++x) {
        rising = rising && first[x] >= first[x - 1];
        falling = falling && first[x] <= first[x - 1];
    }
    if (!rising && !falling) return false;
    for (int y = 1; y < height; ++y) {
        if (std::memcmp(row(y), first, width * sizeof(Sample)) != 0) return false;
    }
    return true;
}

class Camera {
  public:
    void Open(int number) {
        number_ = number;
        handle_ = Korvix_Initialize(nullptr);
        ASSERT_NE(handle_, 0);
        ASSERT_EQ(Korvix_SetDeviceNumber(handle_, number), 1);
        ASSERT_EQ(Korvix_SetPreviewWindow(handle_, nullptr, 0, 0, 0, 0), 1);
        ASSERT_EQ(Korvix_SetCaptureWindowEx(handle_, kWidth, 0, kWidth, 1024, 448, kHeight), 1);
        ASSERT_EQ(Korvix_SetWaitTime(handle_, 0), 1);
        ASSERT_EQ(Korvix_SetColorMode(handle_, 8), 1);
        info_.size = sizeof info_;
        ASSERT_EQ(Korvix_GetCameraInfo(handle_, &info_), 1);
    }
    bool Start() {
        return Korvix_CallBackPreview(handle_, Window(), buffer_.data(), kMaxFrameBytes, 1) == 1;
    }
    // Changes every setting the cycle touches, with the preview stopped.
    bool Change(std::mt19937 &random) {
        auto pick = [&](int min, int max) {
            return std::uniform_int_distribution(min, max)(random);
        };
        bool ok = Korvix_StopPreview(handle_) == 1;
        ok &= Korvix_SetExposureTime(
                  handle_, pick(info_.minExposure, std::min(info_.maxExposure, 200))) == 1;
        ok &= Korvix_SetGlobalGain(handle_, pick(info_.minGlobalGain, info_.maxGlobalGain)) == 1;
        ok &= Korvix_SetMirrorH(handle_, pick(0, 1)) == 1;
        ok &= Korvix_SetMirrorV(handle_, pick(0, 1)) == 1;
        ok &= Korvix_SetBrightness(handle_, pick(-100, 100)) == 1;
        ok &= Korvix_SetContrast(handle_, pick(-60, 60)) == 1;
        ok &= Korvix_SetGamma(handle_, pick(50, 150)) == 1;
        ok &= Korvix_SetColorMode(handle_, pick(0, 1) ? 16 : 8) == 1;
        return ok && Start();
    }
    // Fetches the current image and tells whether it is whole; saves it now and then.
    // False when there is none yet (a colour mode not acquired since it was chosen).
    bool Fetch(std::vector<uint8_t> &image, bool save, bool &whole) {
        const int bits = Korvix_GetColorMode(handle_);
        if (!Korvix_GetImage(handle_, image.data(), kMaxFrameBytes, 1)) {
            while (Korvix_GetLastError(handle_) != 0) {
            }
            return false;
        }
        if (Korvix_GetColorMode(handle_) != bits) return false;  // changed meanwhile
        const int pitch = (kWidth * bits / 8 + 3) & ~3;
        whole = bits == 16 ? WholeFrame<uint16_t>(image.data(), kWidth, kHeight, pitch)
                           : WholeFrame<uint8_t>(image.data(), kWidth, kHeight, pitch);
        if (save)
            Korvix_SaveImage(handle_, ("soak-" + std::to_string(number_) + ".png").c_str(), 5);
        return true;
    }
    void Stop() { Korvix_StopPreview(handle_); }
    void Release() { Korvix_Release(handle_); }
    KorvixWindow Window() const { return reinterpret_cast<KorvixWindow>(uintptr_t(number_ + 1)); }

  private:
    int number_ = 0;
    int handle_ = 0;
    KorvixCameraInfo info_{};
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kMaxFrameBytes);
};

TEST(SystemSoak, TwoCamerasInCallbackPreviewWhileSettingsChangeAndImagesAreSaved) {
    const int wanted = FramesWanted();
    setenv("KORVIX_SIMULATE", "imx990:scene=ramp,imx990:scene=ramp", 1);
    Counts counts;
    Korvix_SetMessageHandler(&OnMessage, &counts);
    Camera cameras[kCameras];
    for (int i = 0; i < kCameras; ++i) {
        cameras[i].Open(i);
        if (HasFatalFailure()) return;
    }
    const auto started = std::chrono::steady_clock::now();
    for (Camera &camera : cameras) ASSERT_TRUE(camera.Start());

    std::atomic<bool> done{false};
    std::atomic<long> cycles{0}, refused{0}, fetched{0}, torn{0}, saved{0};
    long residentAfterFirstCycle = 0;

    // Stops, changes and restarts each camera once it has given kFramesPerCycle more frames.
    std::thread changer([&] {
        std::mt19937 random(1);
        long next[kCameras] = {kFramesPerCycle, kFramesPerCycle};
        std::unique_lock lock(counts.mutex);
        // A camera is due for a cycle when it has given its next kFramesPerCycle frames and
        // has not reached the frames wanted yet.
        auto due = [&](int i) { return counts.frames[i] >= next[i] && counts.frames[i] < wanted; };
        while (counts.frames[0] < wanted || counts.frames[1] < wanted) {
            // Bounded: a camera that stops delivering ends the run instead of hanging it.
            if (!counts.changed.wait_for(lock, std::chrono::seconds(30), [&] {
                    return due(0) || due(1) ||
                           (counts.frames[0] >= wanted && counts.frames[1] >= wanted);
                })) {
                break;
            }
            for (int i = 0; i < kCameras; ++i) {
                if (!due(i)) continue;
                next[i] = counts.frames[i] + kFramesPerCycle;
                lock.unlock();
                if (!cameras[i].Change(random)) ++refused;
                if (++cycles == 2) residentAfterFirstCycle = ResidentKiB();
                lock.lock();
            }
        }
        done = true;
        counts.changed.notify_all();
    });
    // Fetches once every kFramesPerFetch new frames of the two cameras together, so that it
    // runs beside the previews instead of keeping their frame lock busy.
    std::thread saver([&] {
        std::vector<uint8_t> image(kMaxFrameBytes);
        long seen = 0;
        for (long round = 0; !done; ++round) {
            {
                std::unique_lock lock(counts.mutex);
                counts.changed.wait_for(lock, std::chrono::seconds(1), [&] {
                    return done || counts.frames[0] + counts.frames[1] >= seen + kFramesPerFetch;
                });
                seen = counts.frames[0] + counts.frames[1];
            }
            for (Camera &camera : cameras) {
                bool whole = true;
                if (!camera.Fetch(image, round % 20 == 0, whole)) continue;
                ++fetched;
                if (round % 20 == 0) ++saved;
                if (!whole) ++torn;
            }
        }
    });
    changer.join();
    saver.join();
    for (Camera &camera : cameras) camera.Stop();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const long residentAtEnd = ResidentKiB();
    long frames[kCameras], failures[kCameras];
    {
        std::lock_guard hold(counts.mutex);
        std::copy(counts.frames, counts.frames + kCameras, frames);
        std::copy(counts.failures, counts.failures + kCameras, failures);
    }
    std::printf(
        "soak: frames %ld + %ld, failure messages %ld + %ld, cycles %ld (refused %ld), images "
        "fetched %ld, torn %ld, saved %ld, %.1f s; resident memory %.1f MiB after the first "
        "cycles, %.1f MiB at the end, peak %.1f MiB\n",
        frames[0], frames[1], failures[0], failures[1], cycles.load(), refused.load(),
        fetched.load(), torn.load(), saved.load(), seconds, residentAfterFirstCycle / 1024.0,
        residentAtEnd / 1024.0, PeakResidentKiB() / 1024.0);
    for (int i = 0; i < kCameras; ++i) {
        EXPECT_GE(frames[i], wanted) << "camera " << i;
        EXPECT_EQ(failures[i], 0) << "camera " << i;
    }
    EXPECT_EQ(refused.load(), 0);
    EXPECT_GT(fetched.load(), 0);
    EXPECT_EQ(torn.load(), 0);
    // Flat: what the run still holds at the end is what it held after its first cycles,
    // within the allocator's slack.
    EXPECT_LT(residentAtEnd - residentAfterFirstCycle, 32 * 1024);
    for (Camera &camera : cameras) camera.Release();
    Korvix_SetMessageHandler(nullptr, nullptr);
}

}  // namespace
