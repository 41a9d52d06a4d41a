#pragma once

// The fixture of the dialogs' tests through their exports: a session on one simulated
// camera.

#include <string>

#include "core/KorvixUSB3T2SimpleSdk.h"
#include "system/CatalogueFixture.h"

namespace korvix::test {

class DialogsApi : public CatalogueTest {
  protected:
    // A session on the one simulated camera of `model` (see SystemCameraSettings).
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
