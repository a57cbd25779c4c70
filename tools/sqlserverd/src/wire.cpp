// String fields of the wire format (see wire.h).
#include "tds/wire.h"

#include <algorithm>

#include "tds/text.h"

namespace tds {
namespace {

// Cuts UTF-16LE bytes to at most `max_units` code units without splitting a surrogate pair.
std::span<const uint8_t> CutUnits(const Bytes& utf16, size_t max_units) {
  size_t units = std::min(utf16.size() / 2, max_units);
  if (units < utf16.size() / 2 && units > 0) {
    auto last = static_cast<uint16_t>(utf16[2 * units - 2] | (utf16[2 * units - 1] << 8));
    if (last >= 0xD800 && last <= 0xDBFF) --units;
  }
  return {utf16.data(), units * 2};
}

}  // namespace

void Writer::BVarChar(std::string_view utf8) {
  Bytes utf16 = Utf8ToUtf16Le(utf8);
  std::span<const uint8_t> cut = CutUnits(utf16, 0xFF);
  U8(static_cast<uint8_t>(cut.size() / 2));
  Raw(cut);
}

void Writer::UsVarChar(std::string_view utf8) {
  Bytes utf16 = Utf8ToUtf16Le(utf8);
  std::span<const uint8_t> cut = CutUnits(utf16, 0xFFFF);
  U16(static_cast<uint16_t>(cut.size() / 2));
  Raw(cut);
}

std::string Reader::Utf16(size_t units) { return Utf16LeToUtf8(Take(units * 2)); }

}  // namespace tds
