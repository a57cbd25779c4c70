#include "app/executable_dir.h"

#include <stdexcept>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace app {

std::filesystem::path ExecutableDirectory() {
#ifdef _WIN32
  wchar_t buffer[32768];
  const DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
  if (length == 0 || length >= std::size(buffer)) throw std::runtime_error("cannot tell the program's directory");
  return std::filesystem::path(std::wstring(buffer, length)).parent_path();
#else
  std::error_code error;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) throw std::runtime_error("cannot tell the program's directory: " + error.message());
  return exe.parent_path();
#endif
}

}  // namespace app
