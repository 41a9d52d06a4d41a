#pragma once

#include <vector>

#include "SimulatedCameras.h"
#include "api/SdkChain.h"
#include "session/Korvix.h"

namespace korvix::test {

// Simulated cameras plus what the setting and register tests look at besides the public
// functions: the session's cached settings.
class CatalogueTest : public SimulatedCamerasTest {
  protected:
    // The codes Errors() should return, newest first.
    template <typename... Code>
    static std::vector<int> Codes(Code... codes) {
        return {codes...};
    }

    // The session of a live handle (the registry keeps it alive until released).
    static CKorvix &Session(int handle) { return *SdkChain().Lookup(handle); }
};

}  // namespace korvix::test
