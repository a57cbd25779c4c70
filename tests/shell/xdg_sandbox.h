// A scratch home for the shortcut tests: a temporary folder whose "home" stands for $HOME and whose "share"
// is the only folder of $XDG_DATA_DIRS, set in the environment of the test process for the sandbox's lifetime
// (XDG_CONFIG_HOME and XDG_DATA_HOME unset, so their defaults under the scratch home apply). The real home
// is never looked at. Files are written with the helpers below.
#ifndef CLUBIQA_TESTS_SHELL_XDG_SANDBOX_H_
#define CLUBIQA_TESTS_SHELL_XDG_SANDBOX_H_

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>

namespace shell_test {

class XdgSandbox {
 public:
  XdgSandbox() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
      auto candidate = std::filesystem::temp_directory_path() / ("clubiqa-shell-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) root_ = candidate;
    }
    if (root_.empty()) throw std::runtime_error("cannot create a scratch directory");
    std::filesystem::create_directories(home());
    std::filesystem::create_directories(share());
    Set("HOME", home().string());
    Set("XDG_CONFIG_HOME", std::nullopt);
    Set("XDG_DATA_HOME", std::nullopt);
    Set("XDG_DATA_DIRS", share().string());
  }
  ~XdgSandbox() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    std::error_code ignored;
    std::filesystem::permissions(root_, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(root_, ignored);
  }
  XdgSandbox(const XdgSandbox&) = delete;
  XdgSandbox& operator=(const XdgSandbox&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path home() const { return root_ / "home"; }
  std::filesystem::path share() const { return root_ / "share"; }
  std::filesystem::path desktop() const { return home() / "Desktop"; }
  std::filesystem::path user_menu() const { return home() / ".local/share/applications"; }
  std::filesystem::path system_menu() const { return share() / "applications"; }

  // Sets (or with nothing, unsets) an environment variable until the sandbox ends.
  void Set(const std::string& name, const std::optional<std::string>& value) {
    if (!saved_.contains(name)) {
      const char* old = std::getenv(name.c_str());
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      ::setenv(name.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }

  // Writes `bytes` to `path`, creating its folders, and gives it `mode`.
  static void Write(const std::filesystem::path& path, std::string_view bytes, mode_t mode = 0644) {
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    ::chmod(path.c_str(), mode);
  }

  static std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  static mode_t Mode(const std::filesystem::path& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_mode & 07777;
  }

  // An executable program at `path`, for launchers to point at.
  static void WriteProgram(const std::filesystem::path& path) { Write(path, "#!/bin/sh\nexit 0\n", 0755); }

  // A launcher for `program` whose comment is `comment`.
  static std::string Launcher(std::string_view name, std::string_view comment, const std::filesystem::path& program) {
    return "[Desktop Entry]\nType=Application\nName=" + std::string(name) + "\nComment=" + std::string(comment) +
           "\nExec=\"" + program.string() + "\" %f\nIcon=clubiqa\nTerminal=false\n";
  }

  // Every file and folder under the sandbox by its relative path: "mode bytes" for a file, "mode/" for a
  // folder, to compare the whole tree before and after a refresh.
  std::map<std::string, std::string> Snapshot() const {
    std::map<std::string, std::string> tree;
    for (const auto& item : std::filesystem::recursive_directory_iterator(root_)) {
      const std::string mode = std::to_string(Mode(item.path()));
      tree[std::filesystem::relative(item.path(), root_).string()] =
          item.is_regular_file() ? mode + " " + Read(item.path()) : mode + "/";
    }
    return tree;
  }

 private:
  std::filesystem::path root_;
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace shell_test

#endif  // CLUBIQA_TESTS_SHELL_XDG_SANDBOX_H_
