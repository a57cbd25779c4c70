// The compiled-in text blocks, decoded (see text_blocks.h).
#include "upgrade/text_blocks.h"

#include <array>
#include <cstdint>
#include <stdexcept>

#include "text_blocks_data.h"

namespace upgrade {

namespace {

// Code points of the bytes 0x80 to 0x9F; the undefined ones map to themselves.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void AppendUtf8(std::string& out, char32_t code_point) {
  if (code_point < 0x80) {
    out.push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

std::string DecodeBlock(std::string_view name) {
  std::string text;
  bool first = true;
  for (const char* line : TextBlockLines(name)) {
    if (!first) text += "\r\n";
    first = false;
    text += Cp1252ToUtf8(line);
  }
  return text;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    const auto byte = static_cast<uint8_t>(c);
    if (byte >= 0x80 && byte < 0xA0) {
      AppendUtf8(out, kHighControls[byte - 0x80]);
    } else {
      AppendUtf8(out, byte);  // ASCII and Latin-1 share their code points with Unicode
    }
  }
  return out;
}

std::span<const char* const> TextBlockLines(std::string_view name) {
  for (const internal::BlockLines& block : internal::EmbeddedBlocks()) {
    if (block.name == name) return block.lines;
  }
  throw std::out_of_range("no text block named " + std::string(name));
}

const TextBlocks& EmbeddedTextBlocks() {
  static const TextBlocks blocks{DecodeBlock("Memo1"),     DecodeBlock("Memo2"),        DecodeBlock("MemoFachv"),
                                 DecodeBlock("MemoSport"), DecodeBlock("MemoFachWLSB"), DecodeBlock("memoHelp"),
                                 DecodeBlock("MemoBLZ1"),  DecodeBlock("MemoDSAFach")};
  return blocks;
}

}  // namespace upgrade
