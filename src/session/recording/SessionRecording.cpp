// Saving the current frame and recording the preview into an AVI file.

#include "core/KorvixUSB3T2SimpleSdk.h"
#include "imaging/files/ImageSaver.h"
#include "platform/Clock.h"
#include "session/Korvix.h"

namespace korvix {

namespace {

// The recording worker looks for a new preview frame this often.
constexpr uint32_t kRecordPollMs = 10;
// Significant bits of 16-bit samples handed to the image saver.
constexpr int kSavedSampleDepth = 16;

}  // namespace

int CKorvix::SaveImage(const char *file, int fileType) {
    if (!core_) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    platform::CriticalSectionLock frames(frameLock);
    const imaging::FrameImage *output = images_.OutputImageOf(settings_.Entries().colorIndex);
    if (haveFrame_.load() == 0 || output == nullptr || output->IsEmpty()) {
        PushError(CAMERR_NOT_READY);
        return 0;
    }
    return imaging::SaveImageFile(file, output, fileType, kSavedSampleDepth);
}

int CKorvix::Record(const char *file, int durationMs, int showWindow) {
    if (file == nullptr || file[0] == '\0' || durationMs < 0) {
        PushError(CAMERR_PARAMETER);
        return 0;
    }
    platform::CriticalSectionLock control(controlLock_);
    // One writer never serves two recordings.
    if (recording_.load() != 0) {
        PushError(CAMERR_FAILED);
        return 0;
    }
    recordWorker_.Join();  // a recording that ended by itself is collected first

    // A recording gives no frame messages.
    StoreCallbackTarget(nullptr, nullptr, 0, 0);
    if (showWindow != 0 && !CreatePreviewWindowIfWanted()) return 0;
    if (!StartPreview()) {
        Close();
        PushError(CAMERR_FAILED);
        return 0;
    }
    bool opened = false;
    {
        platform::CriticalSectionLock frames(frameLock);
        const imaging::FrameImage *output = images_.OutputImageOf(settings_.Entries().colorIndex);
        opened =
            output != nullptr && recorder_.Open(file, *output, static_cast<uint32_t>(durationMs));
    }
    if (!opened) {
        Close();
        PushError(CAMERR_FAILED);
        return 0;
    }
    // Set before the worker starts, so that a successful Record always records.
    recording_ = 1;
    newFrame_ = 0;
    if (!recordWorker_.Start([this] { RecordingWorker(); })) {
        recording_ = 0;
        recorder_.Finish();
        Close();
        PushError(CAMERR_THREAD);
        return 0;
    }
    return 1;
}

void CKorvix::RecordingWorker() {
    const int colorIndex = settings_.Entries().colorIndex;
    while (recording_.load() != 0) {
        platform::SleepMs(kRecordPollMs);
        if (newFrame_.exchange(0) == 0) continue;
        const uint32_t now = platform::TimeGetTime();
        platform::CriticalSectionLock frames(frameLock);
        const imaging::FrameImage *output = images_.OutputImageOf(colorIndex);
        if (output == nullptr ||
            recorder_.AddFrame(*output, now) == recording::FrameRecorder::Progress::kEnded) {
            break;
        }
    }
    // A recording stopped before its time is closed like one that ran its course.
    recorder_.Finish();
    recording_ = 0;
}

void CKorvix::StopRecording() {
    recording_ = 0;
    recordWorker_.Join();
}

}  // namespace korvix
