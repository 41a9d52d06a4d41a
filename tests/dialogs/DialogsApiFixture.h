#pragma once

// The fixture of the dialogs' tests through their exports: a session on one simulated
// camera.

#include "system/CatalogueFixture.h"

namespace korvix::test {

// A session on one simulated camera: CatalogueTest::HandleOn.
using DialogsApi = CatalogueTest;

}  // namespace korvix::test
