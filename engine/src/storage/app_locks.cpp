// Application locks as lock files (see app_locks.h).
#include "storage/app_locks.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <thread>

#include "errors.h"
#include "values.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace engine {

namespace {

std::string Key(std::string_view db, std::string_view resource) {
  std::string key = AsciiUpper(db);
  key.push_back('\0');
  key.append(resource);
  return key;
}

// FNV-1a: resource names may hold any character and run to 255 of them, so the file is named by a
// hash; two resources that collide only share a lock, which errs on the safe side.
std::string HexHash(std::string_view text) {
  uint64_t h = 1469598103934665603ull;
  for (unsigned char c : text) {
    h ^= c;
    h *= 1099511628211ull;
  }
  std::array<char, 17> buf{};
  std::snprintf(buf.data(), buf.size(), "%016llx", static_cast<unsigned long long>(h));
  return buf.data();
}

#ifdef _WIN32
int OpenLockFile(const std::filesystem::path& file) {
  return _wopen(file.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, 0644);
}
bool TryLock(int fd, bool exclusive) {
  OVERLAPPED at = {};
  DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
  return LockFileEx(reinterpret_cast<HANDLE>(_get_osfhandle(fd)), flags, 0, 1, 0, &at) != 0;
}
void CloseLockFile(int fd) { _close(fd); }
#else
int OpenLockFile(const std::filesystem::path& file) { return ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644); }
bool TryLock(int fd, bool exclusive) { return ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0; }
void CloseLockFile(int fd) { ::close(fd); }
#endif

}  // namespace

AppLocks::~AppLocks() {
  for (auto& [key, held] : held_) CloseLockFile(held.fd);
}

std::filesystem::path AppLocks::FileOf(std::string_view db, std::string_view resource) const {
  return dir_ / (HexHash(Key(db, resource)) + ".lock");
}

int AppLocks::Acquire(std::string_view db, std::string_view resource, bool exclusive, int64_t timeout_ms) {
  const std::string key = Key(db, resource);
  if (auto it = held_.find(key); it != held_.end()) {
    ++it->second.count;
    return 0;
  }
  std::error_code ec;
  std::filesystem::create_directories(dir_, ec);
  const std::filesystem::path file = FileOf(db, resource);
  const int fd = OpenLockFile(file);
  if (fd < 0) throw err::AppLockFileUnusable(file.string());
  // Polling keeps one code path for every time-out; a short sleep is cheap next to a lock that an
  // upgrade run holds for minutes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  bool waited = false;
  while (!TryLock(fd, exclusive)) {
    if (timeout_ms >= 0 && std::chrono::steady_clock::now() >= deadline) {
      CloseLockFile(fd);
      return -1;
    }
    waited = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  held_[key] = Held{fd, exclusive, 1};
  return waited ? 1 : 0;
}

bool AppLocks::Release(std::string_view db, std::string_view resource) {
  auto it = held_.find(Key(db, resource));
  if (it == held_.end()) return false;
  if (--it->second.count == 0) {
    CloseLockFile(it->second.fd);  // closing the descriptor ends its flock
    held_.erase(it);
  }
  return true;
}

std::string AppLocks::Mode(std::string_view db, std::string_view resource) const {
  auto it = held_.find(Key(db, resource));
  if (it == held_.end()) return "NoLock";
  return it->second.exclusive ? "Exclusive" : "Shared";
}

}  // namespace engine
