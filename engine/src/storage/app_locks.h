// Application locks of one session (sp_getapplock / sp_releaseapplock with @LockOwner = 'Session'):
// named locks that several sessions of one server, in one process or in several, contend for.
//
// Each resource of each database is a lock file in the server directory's "applocks" folder, held
// with an advisory whole-file lock (flock) on a descriptor of its own, so two sessions of one
// process conflict just as two processes do. The lock ends when the session releases it, when the
// session ends (the destructor closes every descriptor) and when the process dies (the kernel drops
// its locks), which is what makes a session lock of SQL Server safe against a killed client.
// Resource names compare exactly (case-sensitive), as on SQL Server. Not thread-safe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>

namespace engine {

class AppLocks {
 public:
  explicit AppLocks(const std::filesystem::path& server_dir) : dir_(server_dir / "applocks") {}
  ~AppLocks();
  AppLocks(const AppLocks&) = delete;
  AppLocks& operator=(const AppLocks&) = delete;

  // sp_getapplock's return status: 0 granted at once, 1 granted after waiting, -1 timed out.
  // `timeout_ms` < 0 waits for ever, 0 not at all. A lock the session holds already is taken
  // once more (it then needs as many releases). Throws SqlError when the lock file cannot be used.
  int Acquire(std::string_view db, std::string_view resource, bool exclusive, int64_t timeout_ms);
  // false when the session does not hold the lock.
  bool Release(std::string_view db, std::string_view resource);
  // APPLOCK_MODE: "Exclusive", "Shared" or "NoLock" for the lock this session holds.
  [[nodiscard]] std::string Mode(std::string_view db, std::string_view resource) const;

 private:
  struct Held {
    int fd = -1;
    bool exclusive = false;
    int count = 0;
  };
  [[nodiscard]] std::filesystem::path FileOf(std::string_view db, std::string_view resource) const;

  std::filesystem::path dir_;
  std::map<std::string, Held> held_;  // key: database, NUL, resource
};

}  // namespace engine
