#include "platform/Registry.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

namespace korvix::platform {
namespace {

constexpr int kBusyTimeoutMs = 10000;

constexpr const char *kCountTables =
    "SELECT count(*) FROM sqlite_master"
    " WHERE type = 'table' AND name IN ('registry_keys', 'registry_values');";
constexpr int kTableCount = 2;
// Under the write lock, so that processes creating the store at once take turns.
constexpr const char *kCreateSchema =
    "BEGIN IMMEDIATE;"
    "CREATE TABLE IF NOT EXISTS registry_keys ("
    "  path TEXT PRIMARY KEY COLLATE NOCASE);"
    "CREATE TABLE IF NOT EXISTS registry_values ("
    "  key TEXT NOT NULL COLLATE NOCASE,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY (key, name));"
    "COMMIT;";

// A prepared statement that finalises itself.
class Statement {
public:
    Statement(sqlite3 *database, const char *sql) {
        if (sqlite3_prepare_v2(database, sql, -1, &statement_, nullptr) != SQLITE_OK) {
            statement_ = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    bool Ok() const { return statement_ != nullptr; }
    sqlite3_stmt *Get() const { return statement_; }
    void Bind(int index, const std::string &text) {
        sqlite3_bind_text(statement_, index, text.c_str(), -1, SQLITE_TRANSIENT);
    }
    int Step() { return sqlite3_step(statement_); }

private:
    sqlite3_stmt *statement_ = nullptr;
};

bool Execute(sqlite3 *database, const char *sql) {
    return sqlite3_exec(database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool IsBusy(int result) {
    const int primary = result & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

// Runs `sql` until no other connection stands in its way, or until `deadline`. The busy
// timeout does not cover every contention: where waiting could deadlock (two processes
// switching a new store to WAL at once) or the WAL index is being rebuilt, SQLite reports
// the store busy at once. A transaction left open by the failed attempt is rolled back
// before the next one; the pause between attempts doubles up to 16 ms.
bool ExecuteRetrying(sqlite3 *database, const char *sql,
                     std::chrono::steady_clock::time_point deadline) {
    for (int pauseMs = 1;; pauseMs = std::min(2 * pauseMs, 16)) {
        int result = sqlite3_exec(database, sql, nullptr, nullptr, nullptr);
        if (result == SQLITE_OK) return true;
        if (!sqlite3_get_autocommit(database)) Execute(database, "ROLLBACK;");
        if (!IsBusy(result) || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
    }
}

// A read, so opening a store that has its tables never waits for another process's writer.
// False also when the count fails: the caller then creates the tables under the write lock.
bool HasSchema(sqlite3 *database) {
    Statement count(database, kCountTables);
    return count.Ok() && count.Step() == SQLITE_ROW &&
           sqlite3_column_int(count.Get(), 0) == kTableCount;
}

sqlite3 *OpenStore() {
    std::string path = RegistryKey::StorePath();
    std::error_code ignored;
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ignored);

    sqlite3 *database = nullptr;
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
    if (sqlite3_open_v2(path.c_str(), &database, flags, nullptr) != SQLITE_OK) {
        sqlite3_close(database);
        return nullptr;
    }
    // Before the first statement, so that every step below waits out other processes' locks.
    sqlite3_busy_timeout(database, kBusyTimeoutMs);
    // WAL lets readers and one writer of other processes work side by side. Any number of
    // processes may be creating the store at this moment.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kBusyTimeoutMs);
    if (!ExecuteRetrying(database, "PRAGMA journal_mode=WAL;", deadline) ||
        (!HasSchema(database) && !ExecuteRetrying(database, kCreateSchema, deadline))) {
        sqlite3_close(database);
        return nullptr;
    }
    return database;
}

bool KeyExists(sqlite3 *database, const std::string &path, bool &exists) {
    Statement query(database, "SELECT 1 FROM registry_keys WHERE path = ?1;");
    if (!query.Ok()) return false;
    query.Bind(1, path);
    int rc = query.Step();
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) return false;
    exists = rc == SQLITE_ROW;
    return true;
}

}  // namespace

std::string RegistryKey::StorePath() {
    if (const char *explicitPath = std::getenv("KORVIX_REGISTRY"); explicitPath && *explicitPath) {
        return explicitPath;
    }
    std::filesystem::path base;
    if (const char *config = std::getenv("XDG_CONFIG_HOME"); config && *config) {
        base = config;
    } else if (const char *home = std::getenv("HOME"); home && *home) {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = std::filesystem::temp_directory_path();
    }
    return (base / "korvix" / "registry.sqlite").string();
}

RegistryKey::RegistryKey(sqlite3 *database, std::string path)
    : database_(database), path_(std::move(path)) {}

RegistryKey::~RegistryKey() { sqlite3_close(database_); }

std::unique_ptr<RegistryKey> RegistryKey::Create(const std::string &rawPath) {
    std::string path = NormalisePath(rawPath);
    if (path.empty()) return nullptr;
    sqlite3 *database = OpenStore();
    if (database == nullptr) return nullptr;
    std::unique_ptr<RegistryKey> key(new RegistryKey(database, path));

    if (!Execute(database, "BEGIN IMMEDIATE;")) return nullptr;
    Statement insert(database, "INSERT OR IGNORE INTO registry_keys (path) VALUES (?1);");
    bool ok = insert.Ok();
    for (size_t end = 0; ok && end != std::string::npos;) {
        end = path.find('\\', end + 1);
        insert.Bind(1, path.substr(0, end));
        ok = insert.Step() == SQLITE_DONE;
        sqlite3_reset(insert.Get());
    }
    if (!ok || !Execute(database, "COMMIT;")) {
        Execute(database, "ROLLBACK;");
        return nullptr;
    }
    return key;
}

std::unique_ptr<RegistryKey> RegistryKey::Open(const std::string &rawPath, RegistryResult *result) {
    auto report = [result](RegistryResult value) {
        if (result) *result = value;
    };
    std::string path = NormalisePath(rawPath);
    sqlite3 *database = path.empty() ? nullptr : OpenStore();
    if (database == nullptr) {
        report(path.empty() ? RegistryResult::MissingKey : RegistryResult::Failed);
        return nullptr;
    }
    std::unique_ptr<RegistryKey> key(new RegistryKey(database, path));
    bool exists = false;
    if (!KeyExists(database, path, exists)) {
        report(RegistryResult::Failed);
        return nullptr;
    }
    if (!exists) {
        report(RegistryResult::MissingKey);
        return nullptr;
    }
    report(RegistryResult::Ok);
    return key;
}

bool RegistryKey::Store(const std::string &name, int type, const void *data, size_t size) {
    if (data == nullptr && size != 0) return false;
    Statement upsert(database_,
                     "INSERT INTO registry_values (key, name, type, data) VALUES (?1, ?2, ?3, ?4)"
                     " ON CONFLICT (key, name) DO UPDATE SET type = excluded.type, data = excluded.data;");
    if (!upsert.Ok()) return false;
    upsert.Bind(1, path_);
    upsert.Bind(2, name);
    sqlite3_bind_int(upsert.Get(), 3, type);
    // A zero-length blob must still be non-null to satisfy the NOT NULL column.
    static const unsigned char empty = 0;
    sqlite3_bind_blob(upsert.Get(), 4, size ? data : &empty, static_cast<int>(size), SQLITE_TRANSIENT);
    return upsert.Step() == SQLITE_DONE;
}

RegistryResult RegistryKey::Load(const std::string &name, int type, void *data, size_t size) {
    Statement query(database_, "SELECT type, data FROM registry_values WHERE key = ?1 AND name = ?2;");
    if (!query.Ok()) return RegistryResult::Failed;
    query.Bind(1, path_);
    query.Bind(2, name);
    int rc = query.Step();
    if (rc == SQLITE_DONE) return RegistryResult::MissingValue;
    if (rc != SQLITE_ROW) return RegistryResult::Failed;
    if (sqlite3_column_int(query.Get(), 0) != type ||
        static_cast<size_t>(sqlite3_column_bytes(query.Get(), 1)) != size) {
        return RegistryResult::WrongType;
    }
    if (size) std::memcpy(data, sqlite3_column_blob(query.Get(), 1), size);
    return RegistryResult::Ok;
}

}  // namespace korvix::platform
