#pragma once

#include <string>
#include <vector>

#include "SimulatedCameras.h"
#include "api/SdkChain.h"
#include "core/KorvixUSB3T2SimpleSdk.h"
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

    // A session on the one simulated camera of `model`. The session serves the IMX990
    // model; for another model its device core is pointed at that model's product code,
    // which is how the settings only other heads have (cooler, black level, gain mode,
    // auxiliary switch) are reached.
    int HandleOn(const std::string &model) {
        UseCameras(model);
        const int handle = NewHandle();
        const int productCode = Camera().ProductId();
        if (productCode != CKorvix::kProductCode) {
            core::CKorvixU3T2Base &device = *Session(handle).Core();
            device.SetProductCode(productCode);
            device.CountDevices(productCode);
            EXPECT_EQ(Korvix_SetDeviceNumber(handle, 0), 1);
        }
        return handle;
    }
};

}  // namespace korvix::test
