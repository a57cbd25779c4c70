// The platform layer on Windows: the shell's special folders and its shell-link object.
#ifdef _WIN32

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>  // first: the shell headers below need its types

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <string>

#include "shell/shell.h"

namespace shell {

namespace {

constexpr DWORD kLoadMode = STGM_READ | STGM_SHARE_DENY_WRITE;
// No dialog; a moved target is looked for (within the shell's default time) and the link updated in memory.
constexpr DWORD kResolveFlags =
    static_cast<DWORD>(SLR_NO_UI) | static_cast<DWORD>(SLR_ANY_MATCH) | static_cast<DWORD>(SLR_UPDATE);

// Text between the program (UTF-8) and the ANSI calls of the shell.
std::wstring Widen(std::string_view text, UINT code_page) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) throw Error("text that the code page cannot take");
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string ToAnsi(std::string_view utf8) {
  const std::wstring wide = Widen(utf8, CP_UTF8);
  if (wide.empty()) return {};
  const int length =
      WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) throw Error("a description that the ANSI code page cannot take");
  std::string ansi(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), ansi.data(), length, nullptr, nullptr);
  return ansi;
}

// Releases a COM interface when the step ends, however it ends.
template <typename Interface>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (pointer_ != nullptr) pointer_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  Interface* operator->() const { return pointer_; }
  void** out() { return reinterpret_cast<void**>(&pointer_); }

 private:
  Interface* pointer_ = nullptr;
};

void Check(HRESULT result, const char* what) {
  if (FAILED(result)) throw Error(what);
}

}  // namespace

std::optional<std::filesystem::path> GetSpecialFolderPath(int csidl) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || list == nullptr) return std::nullopt;
  char path[MAX_PATH + 1] = {};
  const BOOL converted = SHGetPathFromIDListA(list, path);
  IMalloc* allocator = nullptr;
  if (SUCCEEDED(SHGetMalloc(&allocator)) && allocator != nullptr) {
    allocator->Free(list);
    allocator->Release();
  }
  if (!converted) return std::nullopt;
  return std::filesystem::path(std::string(path));
}

std::vector<std::filesystem::path> ShortcutFiles(int /*csidl*/, const std::filesystem::path& folder,
                                                 std::string_view part) {
  return {std::filesystem::path(folder.string() + std::string(part))};
}

void SetShortcutDescription(const std::filesystem::path& path, std::string_view description) {
  ComRef<IShellLinkA> link;
  Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.out()),
        "no shell-link object");
  ComRef<IPersistFile> file;
  Check(link->QueryInterface(IID_IPersistFile, file.out()), "no file interface of the shell link");
  const std::wstring wide_path = path.wstring();
  Check(file->Load(wide_path.c_str(), kLoadMode), "the shortcut cannot be loaded");
  Check(link->Resolve(nullptr, kResolveFlags), "the shortcut does not resolve");
  Check(link->SetDescription(ToAnsi(description).c_str()), "the description cannot be set");
  // A shortcut that cannot be written (all users' folders without the rights to them) stays as it was.
  file->Save(wide_path.c_str(), TRUE);
}

ThreadScope::ThreadScope() : initialised_(SUCCEEDED(CoInitialize(nullptr))) {}

ThreadScope::~ThreadScope() {
  if (initialised_) CoUninitialize();
}

}  // namespace shell

#endif  // _WIN32
