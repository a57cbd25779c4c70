// UTF-8, UTF-16LE and Windows-1252 conversions for shell-link strings.
#include "text_encoding.h"

#include <array>
#include <cstdint>

namespace shell {

namespace {

// Bytes 0x80 to 0x9F of Windows-1252; the others are Latin-1. The undefined 0x81, 0x8D, 0x8F, 0x90 and 0x9D
// stand for the C1 controls of the same value, as Windows maps them.
constexpr std::array<char32_t, 32> kCp1252High{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                               0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// The length of the UTF-8 sequence that starts with `lead`, 0 for a byte that cannot start one.
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

}  // namespace

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
  static constexpr std::array<char32_t, 5> kMinimum{0, 0, 0x80, 0x800, 0x10000};  // by sequence length
  std::u32string out;
  for (size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const size_t length = SequenceLength(lead);
    if (length == 0 || i + length > text.size()) return std::nullopt;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < kMinimum[length] || c > 0x10FFFF || IsSurrogate(c)) return std::nullopt;
    out.push_back(c);
    i += length;
  }
  return out;
}

std::string EncodeUtf8(std::u32string_view code_points) {
  std::string out;
  for (const char32_t c : code_points) {
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::string EncodeUtf16Le(std::u32string_view code_points) {
  std::string out;
  const auto unit = [&out](uint32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  for (const char32_t c : code_points) {
    if (c < 0x10000) {
      unit(c);
    } else {
      unit(0xD800 + ((c - 0x10000) >> 10));
      unit(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::optional<std::u32string> DecodeUtf16Le(std::string_view bytes) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  const auto unit = [bytes](size_t i) -> char32_t {
    return static_cast<unsigned char>(bytes[2 * i]) | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  };
  std::u32string out;
  const size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    const char32_t u = unit(i);
    if (!IsSurrogate(u)) {
      out.push_back(u);
      continue;
    }
    if (u >= 0xDC00 || i + 1 >= units || unit(i + 1) < 0xDC00 || unit(i + 1) > 0xDFFF) return std::nullopt;
    out.push_back(0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
    ++i;
  }
  return out;
}

std::optional<std::string> EncodeCp1252(std::u32string_view code_points) {
  std::string out;
  for (const char32_t c : code_points) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    size_t k = 0;
    while (k < kCp1252High.size() && kCp1252High[k] != c) ++k;
    if (k == kCp1252High.size()) return std::nullopt;
    out.push_back(static_cast<char>(0x80 + k));
  }
  return out;
}

std::u32string DecodeCp1252(std::string_view bytes) {
  std::u32string out;
  for (const char b : bytes) {
    const auto byte = static_cast<unsigned char>(b);
    out.push_back(byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : byte);
  }
  return out;
}

}  // namespace shell
