#include "platform/Registry.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace korvix::platform {
namespace {

constexpr const char *kCurrentUser = "HKEY_CURRENT_USER";
constexpr REGSAM kAccess = KEY_QUERY_VALUE | KEY_SET_VALUE;

// The key under HKEY_CURRENT_USER that stands in for its root; empty for the root itself.
std::string RootKey() {
    const char *root = std::getenv("KORVIX_REGISTRY");
    if (root == nullptr) return {};
    std::string text = root;
    size_t first = text.find_first_not_of('\\');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of('\\') - first + 1);
}

std::string UnderRoot(const std::string &path) {
    std::string root = RootKey();
    return root.empty() ? path : root + "\\" + path;
}

HKEY Handle(void *key) { return static_cast<HKEY>(key); }

}  // namespace

std::string RegistryKey::StorePath() {
    std::string root = RootKey();
    return root.empty() ? kCurrentUser : std::string(kCurrentUser) + "\\" + root;
}

RegistryKey::RegistryKey(void *key, std::string path) : key_(key), path_(std::move(path)) {}

RegistryKey::~RegistryKey() { RegCloseKey(Handle(key_)); }

std::unique_ptr<RegistryKey> RegistryKey::Create(const std::string &rawPath) {
    std::string path = NormalisePath(rawPath);
    if (path.empty()) return nullptr;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, UnderRoot(path).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, kAccess, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return std::unique_ptr<RegistryKey>(new RegistryKey(key, path));
}

std::unique_ptr<RegistryKey> RegistryKey::Open(const std::string &rawPath, RegistryResult *result) {
    auto report = [result](RegistryResult value) {
        if (result) *result = value;
    };
    std::string path = NormalisePath(rawPath);
    if (path.empty()) {
        report(RegistryResult::MissingKey);
        return nullptr;
    }
    HKEY key = nullptr;
    LONG status = RegOpenKeyExA(HKEY_CURRENT_USER, UnderRoot(path).c_str(), 0, kAccess, &key);
    if (status != ERROR_SUCCESS) {
        report(status == ERROR_FILE_NOT_FOUND ? RegistryResult::MissingKey : RegistryResult::Failed);
        return nullptr;
    }
    report(RegistryResult::Ok);
    return std::unique_ptr<RegistryKey>(new RegistryKey(key, path));
}

bool RegistryKey::Store(const std::string &name, int type, const void *data, size_t size) {
    if ((data == nullptr && size != 0) || size > MAXDWORD) return false;
    static const BYTE empty = 0;
    const BYTE *bytes = size ? static_cast<const BYTE *>(data) : &empty;
    return RegSetValueExA(Handle(key_), name.c_str(), 0, static_cast<DWORD>(type), bytes,
                          static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

RegistryResult RegistryKey::Load(const std::string &name, int type, void *data, size_t size) {
    auto classify = [](LONG status) {
        return status == ERROR_FILE_NOT_FOUND ? RegistryResult::MissingValue : RegistryResult::Failed;
    };
    DWORD storedType = 0;
    DWORD storedSize = 0;
    LONG status = RegQueryValueExA(Handle(key_), name.c_str(), nullptr, &storedType, nullptr, &storedSize);
    if (status != ERROR_SUCCESS) return classify(status);
    if (storedType != static_cast<DWORD>(type) || storedSize != size) return RegistryResult::WrongType;

    // Read into scratch memory first: another writer may change the value between the two
    // queries, and the caller's output stays untouched unless the value fits exactly.
    std::vector<BYTE> scratch(size + 1);
    DWORD readSize = static_cast<DWORD>(scratch.size());
    status = RegQueryValueExA(Handle(key_), name.c_str(), nullptr, &storedType, scratch.data(), &readSize);
    if (status == ERROR_MORE_DATA) return RegistryResult::WrongType;
    if (status != ERROR_SUCCESS) return classify(status);
    if (storedType != static_cast<DWORD>(type) || readSize != size) return RegistryResult::WrongType;
    if (size) std::memcpy(data, scratch.data(), size);
    return RegistryResult::Ok;
}

}  // namespace korvix::platform
