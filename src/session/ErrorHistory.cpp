#include "session/ErrorHistory.h"

#include <algorithm>

namespace korvix {

void ErrorHistory::Push(uint32_t code) {
    std::lock_guard guard(lock_);
    std::move_backward(codes_.begin(), codes_.end() - 1, codes_.end());
    codes_[0] = code;
}

uint32_t ErrorHistory::Pop() {
    std::lock_guard guard(lock_);
    uint32_t newest = codes_[0];
    std::move(codes_.begin() + 1, codes_.end(), codes_.begin());
    codes_[kDepth - 1] = 0;
    return newest;
}

}  // namespace korvix
