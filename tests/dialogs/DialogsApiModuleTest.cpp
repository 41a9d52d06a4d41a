// The dialogs' exports when the module that shows them cannot be loaded (Linux, where the
// host is a module of its own).
#include <cstdlib>

#include "DialogsApiFixture.h"

namespace korvix::test {
namespace {

TEST_F(DialogsApi, ExportsFailWithoutTheHostModule) {
    using Export = int (*)(int, KorvixWindow);
    const Export exports[] = {Korvix_SetCameraDlg, Korvix_SetImageDlg, Korvix_SetAnalogDlg};
    const int handle = HandleOn("imx990");
    ::setenv("KORVIX_DIALOG_MODULE", "/nonexistent/libKorvixSdk_TesslinDialogs.so", 1);
    for (Export open : exports) {
        EXPECT_EQ(open(handle, nullptr), 0);
        EXPECT_EQ(Errors(handle), Codes(CAMERR_WINDOW));
    }
}

}  // namespace
}  // namespace korvix::test
