// The platform-independent part of showing a dialog: the request in the user's language,
// one dialog at a time, and the scripted host of the tests. The host itself comes from
// detail::LoadDialogHost (DialogHostLoader.h).
#include "dialogs/DialogModule.h"

#include <mutex>

#include "dialogs/DialogHostLoader.h"

namespace korvix::dialogs {

namespace {

// One dialog at a time per process; also guards the module state and the test host.
std::mutex &DialogLock() {
    static std::mutex lock;
    return lock;
}

DialogHostFunction &TestHost() {
    static DialogHostFunction host;
    return host;
}

}  // namespace

int RunDialog(DialogLogic &logic, void *parent) {
    const Language language = LanguageOfLocale();
    std::vector<const DialogTemplate *> pages;
    for (TemplateId page : logic.PageTemplates())
        pages.push_back(&GetDialogTemplate(page, language));
    DialogRequest request;
    request.parent = parent;
    request.logic = &logic;
    request.frame = &GetDialogTemplate(logic.FrameTemplate(), language);
    request.pages = pages.data();
    request.pageCount = static_cast<int>(pages.size());

    std::lock_guard<std::mutex> hold(DialogLock());
    if (TestHost()) return TestHost()(request);
    DialogHostEntry entry = detail::LoadDialogHost();
    if (entry == nullptr) return kDialogHostUnavailable;
    return entry(&request);
}

void SetDialogHostForTesting(DialogHostFunction host) {
    std::lock_guard<std::mutex> hold(DialogLock());
    TestHost() = std::move(host);
}

}  // namespace korvix::dialogs
