#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace korvix::platform {

// The settings store: keys under HKEY_CURRENT_USER. Keys are backslash-separated paths
// compared without regard to letter case; values are 32-bit DWORDs (REG_DWORD) or binary
// blocks (REG_BINARY), read back only at their exact type and size.
//
// Windows: the registry itself (advapi32). When KORVIX_REGISTRY is set it names a key
// under HKEY_CURRENT_USER that stands in for HKEY_CURRENT_USER's root, so that tests keep
// apart: with KORVIX_REGISTRY=Software\KorvixTest\1234 the key Software\Korvix\X lands
// at HKEY_CURRENT_USER\Software\KorvixTest\1234\Software\Korvix\X.
//
// Linux: one SQLite database (WAL mode, busy timeout, so several processes can read and
// write at once) at $KORVIX_REGISTRY, or at $XDG_CONFIG_HOME/korvix/registry.sqlite
// (~/.config when XDG_CONFIG_HOME is unset).
//
// A RegistryKey object is thread-bound; separate objects may be used on separate threads
// and in separate processes at the same time.

enum class RegistryResult {
    Ok,
    MissingKey,    // the key does not exist
    MissingValue,  // the key exists, the value does not
    WrongType,     // the value exists with another type or size
    Failed,        // the store could not be opened or read
};

class RegistryKey {
public:
    // Opens `path`, creating it and every missing parent. Null when the store fails.
    static std::unique_ptr<RegistryKey> Create(const std::string &path);
    // Opens an existing key; null with `result` MissingKey when it does not exist.
    static std::unique_ptr<RegistryKey> Open(const std::string &path,
                                             RegistryResult *result = nullptr);
    static bool Exists(const std::string &path);

    ~RegistryKey();
    RegistryKey(const RegistryKey &) = delete;
    RegistryKey &operator=(const RegistryKey &) = delete;

    bool SetDword(const std::string &name, uint32_t value);
    RegistryResult GetDword(const std::string &name, uint32_t &value);
    bool SetBinary(const std::string &name, const void *data, size_t size);
    // Reads a binary value of exactly `size` bytes.
    RegistryResult GetBinary(const std::string &name, void *data, size_t size);

    const std::string &Path() const { return path_; }

    // Where the store lives (see above): on Windows "HKEY_CURRENT_USER", or
    // "HKEY_CURRENT_USER\\<root>" with the root KORVIX_REGISTRY names; on Linux the
    // database file.
    static std::string StorePath();

private:
    // `path` without separators at either end.
    static std::string NormalisePath(const std::string &path);
    bool Store(const std::string &name, int type, const void *data, size_t size);
    RegistryResult Load(const std::string &name, int type, void *data, size_t size);

#if defined(_WIN32)
    RegistryKey(void *key, std::string path);
    void *key_;  // HKEY
#else
    RegistryKey(sqlite3 *database, std::string path);
    sqlite3 *database_;
#endif
    std::string path_;
};

}  // namespace korvix::platform
