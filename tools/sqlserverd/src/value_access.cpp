// Value readers for the wire types (see value_access.h).
#include "value_access.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tds {
namespace {

using engine::TypeId;

bool HoldsDecimal(const engine::Value& v) { return v.type().IsExactNumeric() && !v.type().IsInteger(); }
bool HoldsFloat(const engine::Value& v) { return v.type().id == TypeId::kReal || v.type().id == TypeId::kFloat; }

int64_t Pow10(int n) {
  int64_t p = 1;
  for (int i = 0; i < n && i < 18; ++i) p *= 10;
  return p;
}

// Rescales exact units, rounding half away from zero when digits are dropped.
int64_t Rescale(int64_t units, int from, int to) {
  if (to >= from) return units * Pow10(to - from);
  const int64_t div = Pow10(from - to);
  const int64_t q = units / div;
  const int64_t r = units % div;
  if (2 * (r < 0 ? -r : r) >= div) return units < 0 ? q - 1 : q + 1;
  return q;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;
}

}  // namespace

int64_t IntOf(const engine::Value& v) {
  if (v.type().IsInteger()) return v.as_int();
  if (HoldsDecimal(v)) return Rescale(v.as_decimal().units, v.as_decimal().scale, 0);
  if (HoldsFloat(v)) return std::llround(v.as_float());
  return std::strtoll(v.ToString().c_str(), nullptr, 10);
}

double DoubleOf(const engine::Value& v) {
  if (HoldsFloat(v)) return v.as_float();
  if (v.type().IsInteger()) return static_cast<double>(v.as_int());
  if (HoldsDecimal(v)) return static_cast<double>(v.as_decimal().units) / std::pow(10.0, v.as_decimal().scale);
  return std::strtod(v.ToString().c_str(), nullptr);
}

int64_t DecimalUnits(const engine::Value& v, uint8_t scale) {
  if (HoldsDecimal(v)) return Rescale(v.as_decimal().units, v.as_decimal().scale, scale);
  if (v.type().IsInteger()) return v.as_int() * Pow10(scale);
  return std::llround(DoubleOf(v) * std::pow(10.0, scale));
}

uint64_t DecimalMagnitude(const engine::Value& v, uint8_t scale) {
  int64_t units = DecimalUnits(v, scale);
  return units < 0 ? ~static_cast<uint64_t>(units) + 1 : static_cast<uint64_t>(units);
}

std::string StringOf(const engine::Value& v) {
  if (v.type().IsString() || v.type().id == TypeId::kUniqueIdentifier) return v.as_string();
  return v.ToString();
}

engine::DateTime DateTimeOf(const engine::Value& v) {
  if (v.type().IsDateTime()) return v.as_datetime();
  return engine::DateTime{0};
}

std::array<uint8_t, 16> GuidBytes(std::string_view text) {
  std::array<uint8_t, 16> raw{};
  size_t n = 0;
  for (size_t i = 0; i + 1 < text.size() && n < 16;) {
    if (text[i] == '-' || text[i] == '{' || text[i] == '}') {
      ++i;
      continue;
    }
    raw[n++] = static_cast<uint8_t>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1]));
    i += 2;
  }
  // Data1 (4 bytes), Data2 and Data3 (2 bytes each) are little-endian on the wire.
  std::array<uint8_t, 16> out = raw;
  for (int i = 0; i < 4; ++i) out[i] = raw[3 - i];
  out[4] = raw[5];
  out[5] = raw[4];
  out[6] = raw[7];
  out[7] = raw[6];
  return out;
}

std::string GuidText(const uint8_t* b) {
  std::array<char, 40> buf{};
  std::snprintf(buf.data(), buf.size(), "%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X", b[3],
                b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return buf.data();
}

}  // namespace tds
