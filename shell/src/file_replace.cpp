// Whole-file reads and atomic replacement of shortcut files.
#include "file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>
#include <system_error>

#include "shell/shell.h"

namespace shell {

namespace {

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Writes `bytes` to a new file beside `target` with the mode (and, for root, the owner) of `old`, flushed
// to disk. Returns its path, or nothing after removing what it had written.
std::optional<std::filesystem::path> WriteBeside(const std::filesystem::path& target, const struct stat& old,
                                                 std::string_view bytes) {
  std::string name = (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return std::nullopt;
  // mkstemp creates the file for its owner only; the mode of the launcher (often executable) comes back here.
  bool ok = WriteAll(fd, bytes) && ::fchmod(fd, old.st_mode & 07777) == 0;
  if (ok && ::geteuid() == 0 && ::fchown(fd, old.st_uid, old.st_gid) != 0) ok = false;
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (!ok) {
    ::unlink(name.c_str());
    return std::nullopt;
  }
  return std::filesystem::path(name);
}

}  // namespace

std::string ReadShortcutFile(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) throw Error("no shortcut file at " + path.string());
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad() || !in.is_open()) throw Error("cannot read " + path.string());
  return bytes;
}

bool ReplaceShortcutFile(const std::filesystem::path& path, std::string_view bytes) {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  struct stat old {};
  if (error || ::stat(target.c_str(), &old) != 0 || !S_ISREG(old.st_mode)) return false;
  if ((old.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  // A folder that the user may write to can still hold a file that they may not: the rename would replace it.
  if (::access(target.c_str(), W_OK) != 0) return false;
  const std::optional<std::filesystem::path> written = WriteBeside(target, old, bytes);
  if (!written) return false;
  if (::rename(written->c_str(), target.c_str()) != 0) {
    ::unlink(written->c_str());
    return false;
  }
  return true;
}

}  // namespace shell
