// Reading and replacing the description of a shell-link file.
#include "shell_link.h"

#include <array>

#include "shell/shell.h"
#include "text_encoding.h"

namespace shell {

namespace {

// 00021401-0000-0000-C000-000000000046 as it is stored.
constexpr std::array<unsigned char, 16> kShellLinkClassId{0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                          0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr size_t kClassIdOffset = 0x04;
constexpr size_t kLinkFlagsOffset = 0x14;

// The string-data flags in the order of their strings in the file.
constexpr std::array<uint32_t, 5> kStringFlags{kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments,
                                               kHasIconLocation};

uint32_t U16(std::string_view bytes, size_t at) {
  return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
}

uint32_t U32(std::string_view bytes, size_t at) { return U16(bytes, at) | (U16(bytes, at + 2) << 16); }

void PutU16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void PutU32At(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A cursor over the file that refuses to step past its end.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  [[nodiscard]] size_t pos() const { return pos_; }
  [[nodiscard]] bool Has(size_t n) const { return n <= bytes_.size() - pos_; }
  bool Skip(size_t n) {
    if (!Has(n)) return false;
    pos_ += n;
    return true;
  }
  std::optional<uint32_t> ReadU16() { return Has(2) ? std::optional(U16(bytes_, (pos_ += 2) - 2)) : std::nullopt; }
  std::optional<uint32_t> ReadU32() { return Has(4) ? std::optional(U32(bytes_, (pos_ += 4) - 4)) : std::nullopt; }

 private:
  std::string_view bytes_;
  size_t pos_ = 0;
};

// The item identifier list: its size must be exactly the items and the terminating zero.
bool SkipIdList(Reader& in) {
  const std::optional<uint32_t> list_size = in.ReadU16();
  if (!list_size || !in.Has(*list_size)) return false;
  const size_t end = in.pos() + *list_size;
  for (;;) {
    const std::optional<uint32_t> item_size = in.ReadU16();
    if (!item_size || in.pos() > end) return false;
    if (*item_size == 0) return in.pos() == end;
    if (*item_size < 2 || !in.Skip(*item_size - 2)) return false;
  }
}

bool SkipLinkInfo(Reader& in) {
  const std::optional<uint32_t> size = in.ReadU32();
  return size && *size >= 4 && in.Skip(*size - 4);
}

bool SkipExtraData(Reader& in) {
  for (;;) {
    const std::optional<uint32_t> size = in.ReadU32();
    if (!size) return false;
    if (*size < 4) return true;  // the terminal block
    if (*size < 8 || !in.Skip(*size - 4)) return false;
  }
}

}  // namespace

std::optional<ShellLinkLayout> ParseShellLink(std::string_view bytes) {
  if (bytes.size() < kShellLinkHeaderSize || U32(bytes, 0) != kShellLinkHeaderSize) return std::nullopt;
  for (size_t i = 0; i < kShellLinkClassId.size(); ++i) {
    if (static_cast<unsigned char>(bytes[kClassIdOffset + i]) != kShellLinkClassId[i]) return std::nullopt;
  }
  ShellLinkLayout layout;
  layout.link_flags = U32(bytes, kLinkFlagsOffset);
  Reader in(bytes);
  in.Skip(kShellLinkHeaderSize);
  if ((layout.link_flags & kHasLinkTargetIdList) && !SkipIdList(in)) return std::nullopt;
  if ((layout.link_flags & kHasLinkInfo) && !SkipLinkInfo(in)) return std::nullopt;
  layout.name_offset = in.pos();
  const size_t unit = layout.unicode() ? 2 : 1;
  for (const uint32_t flag : kStringFlags) {
    if (!(layout.link_flags & flag)) continue;
    const std::optional<uint32_t> count = in.ReadU16();
    if (!count || !in.Skip(*count * unit)) return std::nullopt;
    if (flag == kHasName) layout.name_size = in.pos() - layout.name_offset;
  }
  if (!SkipExtraData(in)) return std::nullopt;
  return layout;
}

std::string ShellLinkDescription(std::string_view bytes) {
  const std::optional<ShellLinkLayout> layout = ParseShellLink(bytes);
  if (!layout) throw Error("not a shell-link file");
  if (layout->name_size == 0) return "";
  const std::string_view text = bytes.substr(layout->name_offset + 2, layout->name_size - 2);
  if (!layout->unicode()) return EncodeUtf8(DecodeCp1252(text));
  const std::optional<std::u32string> code_points = DecodeUtf16Le(text);
  if (!code_points) throw Error("the description of the shell link is not UTF-16");
  return EncodeUtf8(*code_points);
}

std::string WithShellLinkDescription(std::string_view bytes, std::string_view description) {
  const std::optional<ShellLinkLayout> layout = ParseShellLink(bytes);
  if (!layout) throw Error("not a shell-link file");
  const std::optional<std::u32string> code_points = DecodeUtf8(description);
  if (!code_points) throw Error("the description is not UTF-8");
  std::string encoded;
  if (layout->unicode()) {
    encoded = EncodeUtf16Le(*code_points);
  } else if (std::optional<std::string> ansi = EncodeCp1252(*code_points)) {
    encoded = std::move(*ansi);
  } else {
    throw Error("the description has characters that the shell link's code page lacks");
  }
  const size_t count = layout->unicode() ? encoded.size() / 2 : encoded.size();
  if (count > kMaxShellLinkDescription) throw Error("the description is too long for a shell link");

  std::string out(bytes.substr(0, layout->name_offset));
  PutU16(out, static_cast<uint32_t>(count));
  out += encoded;
  out += bytes.substr(layout->name_offset + layout->name_size);
  PutU32At(out, kLinkFlagsOffset, layout->link_flags | kHasName);
  return out;
}

}  // namespace shell
