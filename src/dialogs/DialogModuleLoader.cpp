// The GTK host as a module of its own, loaded with dlopen on the first dialog.
#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "dialogs/DialogHostLoader.h"

namespace korvix::dialogs::detail {

namespace {

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

}  // namespace

// The module's entry, loaded on the first call and kept for the life of the process (GTK
// cannot be unloaded once initialised).
DialogHostEntry LoadDialogHost() {
    static DialogHostEntry entry = nullptr;
    if (entry != nullptr) return entry;
    void *module = dlopen(ModulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) return nullptr;
    entry = reinterpret_cast<DialogHostEntry>(dlsym(module, kDialogHostEntry));
    if (entry == nullptr) dlclose(module);
    return entry;
}

}  // namespace korvix::dialogs::detail
