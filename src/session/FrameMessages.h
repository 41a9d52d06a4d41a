#pragma once

#include <array>
#include <cstdint>
#include <mutex>

#include "KorvixSdk_Tesslin.h"

namespace korvix {

// The WM_CAMERA_FRAME messages of one session and the frame-information records they
// point to. A delivered frame's message carries the address of a record in this object;
// a record is not written again until the message that carries it has been handled
// (delivered or dropped), so the application's handler may read it for as long as it
// runs. The records are a small ring: when every record still waits for its handler (an
// application that has fallen that many frames behind) the next frame's message is left
// out rather than overwrite a record the application has not read yet.
//
// Thread-safe. WaitHandled must not be called from inside the message handler.
class FrameMessages {
public:
    static constexpr size_t kRecords = 8;

    // Copies `info` into a free record and posts WM_CAMERA_FRAME to `window` with wParam
    // the record's address and lParam 0. False when no record is free (nothing posted).
    bool PostFrame(KorvixWindow window, const KorvixFrameInfo &info);
    // True while the newest frame message posted is neither delivered nor dropped: the
    // application's handler of that frame runs, or will run, and may read the frame's pixels
    // in the application's buffer.
    bool FramePending();
    // Posts WM_CAMERA_FRAME to `window` with wParam 0 and lParam `code` (5, 8 or 13).
    void PostFailure(KorvixWindow window, int code);
    // Waits until every message posted so far has been handled. Inside the handler it
    // returns at once (the handler thread cannot wait for itself).
    void WaitHandled();

private:
    std::mutex lock_;  // guards every field below
    std::array<KorvixFrameInfo, kRecords> records_{};
    std::array<uint64_t, kRecords> tickets_{};  // ticket of the message carrying each record
    size_t next_ = 0;                           // record the next frame tries first
    uint64_t lastTicket_ = 0;                   // ticket of the newest message posted
    uint64_t lastFrameTicket_ = 0;              // ticket of the newest frame message posted
};

}  // namespace korvix
