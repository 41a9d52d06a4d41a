#include "dialogs/DialogModule.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <string>

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

// The module's file: the environment's override, else beside the library's own file.
std::string ModulePath() {
    if (const char *path = std::getenv(kDialogModuleVariable); path != nullptr && *path != '\0') {
        return path;
    }
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&RunDialog), &info) == 0 || info.dli_fname == nullptr) {
        return kDialogModuleFileName;
    }
    std::string library = info.dli_fname;
    const size_t slash = library.rfind('/');
    return slash == std::string::npos ? std::string(kDialogModuleFileName)
                                      : library.substr(0, slash + 1) + kDialogModuleFileName;
}

// The module's entry, loaded on the first call and kept for the life of the process (GTK
// cannot be unloaded once initialised). Null when the module cannot be loaded; the next
// dialog tries again. Called under DialogLock.
DialogHostEntry LoadedEntry() {
    static DialogHostEntry entry = nullptr;
    if (entry != nullptr) return entry;
    void *module = dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return nullptr;
    entry = reinterpret_cast<DialogHostEntry>(dlsym(module, kDialogHostEntry));
    if (entry == nullptr) dlclose(module);
    return entry;
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
    DialogHostEntry entry = LoadedEntry();
    if (entry == nullptr) return kDialogHostUnavailable;
    return entry(&request);
}

void SetDialogHostForTesting(DialogHostFunction host) {
    std::lock_guard<std::mutex> hold(DialogLock());
    TestHost() = std::move(host);
}

}  // namespace korvix::dialogs
