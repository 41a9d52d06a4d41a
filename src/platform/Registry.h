#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace korvix::platform {

// The settings store: the HKEY_CURRENT_USER registry of the Windows build, kept on Linux
// in one SQLite database (WAL mode, busy timeout, so several processes can read and write
// at once). Keys are backslash-separated paths compared without regard to letter case;
// values are 32-bit DWORDs or binary blocks. The database lives at $KORVIX_REGISTRY, or
// at $XDG_CONFIG_HOME/korvix/registry.sqlite (~/.config when XDG_CONFIG_HOME is unset).
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

    // Where the store lives (see above).
    static std::string StorePath();

private:
    RegistryKey(sqlite3 *database, std::string path);
    bool Store(const std::string &name, int type, const void *data, size_t size);
    RegistryResult Load(const std::string &name, int type, void *data, size_t size);

    sqlite3 *database_;
    std::string path_;
};

}  // namespace korvix::platform
