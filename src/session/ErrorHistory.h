#pragma once

#include <array>
#include <cstdint>
#include <mutex>

namespace korvix {

// The error codes of one session, newest first, at most 20. The application pops them
// with Korvix_GetLastError; every failing operation pushes one, from the application's
// thread or from the session's workers.
//
// Thread-safe: a small lock of its own makes push and pop indivisible, so a code pushed
// by a worker while the application reads is never lost or read twice.
class ErrorHistory {
public:
    static constexpr size_t kDepth = 20;

    // Shifts every code one place towards the old end (the oldest is lost) and stores
    // `code` as the newest.
    void Push(uint32_t code);
    // Removes and returns the newest code; 0 when the history is empty.
    uint32_t Pop();

private:
    std::mutex lock_;                          // guards codes_
    std::array<uint32_t, kDepth> codes_ = {};  // codes_[0] is the newest
};

}  // namespace korvix
