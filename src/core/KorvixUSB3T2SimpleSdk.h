#pragma once

#include "core/KorvixU3T2Base.h"

namespace korvix::core {

// The device core the session creates: the operation table of CKorvixU3T2Base as it is.
class CKorvixUSB3T2SimpleSdk : public CKorvixU3T2Base {
  public:
    CKorvixUSB3T2SimpleSdk() = default;
    ~CKorvixUSB3T2SimpleSdk() override = default;
};

}  // namespace korvix::core
