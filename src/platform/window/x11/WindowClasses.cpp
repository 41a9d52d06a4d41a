// Window classes on X11: the window system has none, so the process keeps the set of
// registered names itself (the name becomes a window's class hint), refusing duplicates
// as a class registration does on Windows.

#include <mutex>
#include <set>

#include "platform/window/Window.h"

namespace korvix::platform {

namespace {

constexpr size_t kMaxClassNameLength = 255;

struct ClassRegistry {
    std::mutex mutex;             // guards names
    std::set<std::string> names;  // the registered classes
};

ClassRegistry &Classes() {
    static ClassRegistry registry;
    return registry;
}

}  // namespace

bool RegisterWindowClass(const std::string &name) {
    if (name.empty() || name.size() > kMaxClassNameLength) return false;
    ClassRegistry &classes = Classes();
    std::lock_guard lock(classes.mutex);
    return classes.names.insert(name).second;
}

bool UnregisterWindowClass(const std::string &name) {
    ClassRegistry &classes = Classes();
    std::lock_guard lock(classes.mutex);
    return classes.names.erase(name) == 1;
}

bool IsWindowClassRegistered(const std::string &name) {
    ClassRegistry &classes = Classes();
    std::lock_guard lock(classes.mutex);
    return classes.names.count(name) == 1;
}

}  // namespace korvix::platform
