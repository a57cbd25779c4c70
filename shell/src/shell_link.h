// Shell-link (.lnk) files read and patched byte by byte, for platforms without the shell's own link object.
//
// Layout, little-endian: a 76-byte header (size 0x4C, the shell-link class identifier, the link flags at
// 0x14), then as the flags say an item identifier list (u16 size, then items of a u16 size each, ended by
// a u16 0), a link-info block (u32 size covering the whole block), the string data (description, relative
// path, working directory, arguments, icon location, in this order, each a u16 count of characters without
// a terminator, UTF-16LE when the link is Unicode, else the ANSI code page), and the extra-data blocks
// (u32 size including itself, u32 signature), ended by a block whose size is below 4.
//
// Only the description string is rewritten; every other byte stays as it was. The offsets inside the extra
// data point into the identifier list, not into the file, so the later strings may move.
#ifndef CLUBIQA_SHELL_SHELL_LINK_H_
#define CLUBIQA_SHELL_SHELL_LINK_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace shell {

inline constexpr size_t kShellLinkHeaderSize = 0x4C;
inline constexpr uint32_t kHasLinkTargetIdList = 0x1;
inline constexpr uint32_t kHasLinkInfo = 0x2;
inline constexpr uint32_t kHasName = 0x4;
inline constexpr uint32_t kHasRelativePath = 0x8;
inline constexpr uint32_t kHasWorkingDir = 0x10;
inline constexpr uint32_t kHasArguments = 0x20;
inline constexpr uint32_t kHasIconLocation = 0x40;
inline constexpr uint32_t kIsUnicode = 0x80;

// The longest description the shell's own link object takes (its tooltip buffer less the terminator).
inline constexpr size_t kMaxShellLinkDescription = 1023;

// Where the description of a well-formed shell-link file is.
struct ShellLinkLayout {
  uint32_t link_flags = 0;
  // Offset of the string data: the description when the link has one, else where it goes.
  size_t name_offset = 0;
  // Bytes of the description with its count, 0 when the link has none.
  size_t name_size = 0;
  [[nodiscard]] bool unicode() const { return (link_flags & kIsUnicode) != 0; }
};

// The layout of `bytes`, or nothing when they are not a complete shell-link file: a wrong header size or
// class identifier, or a structure that runs past the end, extra data without its terminal block included.
std::optional<ShellLinkLayout> ParseShellLink(std::string_view bytes);

// The description of the shell link `bytes`, in UTF-8 ("" when it has none). Throws Error when the bytes do
// not parse.
std::string ShellLinkDescription(std::string_view bytes);

// `bytes` with the description replaced by `description` (UTF-8), or added with its flag set when the link
// had none. Throws Error when the bytes do not parse or the description cannot be stored: longer than
// kMaxShellLinkDescription, not UTF-8, or with a character that the ANSI code page of a non-Unicode link
// lacks.
std::string WithShellLinkDescription(std::string_view bytes, std::string_view description);

}  // namespace shell

#endif  // CLUBIQA_SHELL_SHELL_LINK_H_
