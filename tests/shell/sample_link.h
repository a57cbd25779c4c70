// A shell-link file built here field by field following the file layout (header, item identifier list,
// link info, string data, extra data), for the tests that patch its description.
#ifndef CLUBIQA_TESTS_SHELL_SAMPLE_LINK_H_
#define CLUBIQA_TESTS_SHELL_SAMPLE_LINK_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "shell_link.h"

namespace shell_test {

inline void U16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

inline void U32(std::string& out, uint32_t value) {
  U16(out, value & 0xFFFF);
  U16(out, value >> 16);
}

// A counted string of the string data: UTF-16LE of ASCII text, or the bytes as they are.
inline std::string CountedString(std::string_view text, bool unicode) {
  std::string out;
  U16(out, static_cast<uint32_t>(text.size()));
  for (const char c : text) {
    out.push_back(c);
    if (unicode) out.push_back('\0');
  }
  return out;
}

// The parts of a sample link to C:\Clubiqa\vanta.exe, in file order.
struct SampleLink {
  uint32_t flags = shell::kHasLinkTargetIdList | shell::kHasLinkInfo | shell::kHasName | shell::kHasRelativePath |
                   shell::kHasWorkingDir | shell::kIsUnicode;
  std::string description = "Clubiqa vanta 2013";

  bool unicode() const { return (flags & shell::kIsUnicode) != 0; }

  std::string Header() const {
    std::string out;
    U32(out, 0x4C);
    out += std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
    U32(out, flags);
    U32(out, 0x20);  // the target is an archive file
    for (int time = 0; time < 3; ++time) out += std::string("\x00\x6B\x2F\x9E\x13\x5A\xCF\x01", 8);
    U32(out, 0x0004A000);  // size of the target
    U32(out, 0);           // icon index
    U32(out, 1);           // shown normally
    U16(out, 0);           // no hot key
    out += std::string(10, '\0');
    return out;
  }

  // Two items (a drive and a file) and the terminating zero.
  static std::string IdList() {
    std::string items;
    U16(items, 2 + 23);
    items += std::string(
                 "\x2F"
                 "C:\\",
                 4) +
             std::string(19, '\0');
    U16(items, 2 + 12);
    items += std::string("\x32\x00vanta.exe\0", 12);
    U16(items, 0);
    std::string out;
    U16(out, static_cast<uint32_t>(items.size()));
    return out + items;
  }

  // A link-info block with a local base path.
  static std::string LinkInfo() {
    const std::string path = "C:\\Clubiqa\\vanta.exe";
    std::string body;
    U32(body, 0x1C);                           // header size
    U32(body, 1);                              // volume id and local base path
    U32(body, 0x1C);                           // volume id offset
    U32(body, 0x1C + 0x11);                    // local base path offset
    U32(body, 0);                              // no network part
    U32(body, 0x1C + 0x11 + path.size() + 1);  // common path suffix offset
    std::string volume;
    U32(volume, 0x11);
    U32(volume, 3);  // fixed drive
    U32(volume, 0x1234ABCD);
    U32(volume, 0x10);
    volume.push_back('\0');
    body += volume + path + '\0' + '\0';
    std::string out;
    U32(out, static_cast<uint32_t>(body.size() + 4));
    return out + body;
  }

  std::string Strings() const {
    std::string out;
    if (flags & shell::kHasName) out += CountedString(description, unicode());
    if (flags & shell::kHasRelativePath) out += CountedString("..\\..\\Clubiqa\\vanta.exe", unicode());
    if (flags & shell::kHasWorkingDir) out += CountedString("C:\\Clubiqa", unicode());
    return out;
  }

  // A special-folder block and the terminal block.
  static std::string ExtraData() {
    std::string out;
    U32(out, 0x10);
    U32(out, 0xA0000005);
    U32(out, 0x26);  // program files
    U32(out, 0x14);  // offset into the identifier list
    U32(out, 0);
    return out;
  }

  // Everything before the description, the description with its count, everything after it.
  std::string Before() const { return Header() + IdList() + LinkInfo(); }
  std::string Name() const { return (flags & shell::kHasName) ? CountedString(description, unicode()) : ""; }
  std::string After() const { return Strings().substr(Name().size()) + ExtraData(); }
  std::string Bytes() const { return Before() + Name() + After(); }
};

}  // namespace shell_test

#endif  // CLUBIQA_TESTS_SHELL_SAMPLE_LINK_H_
