// Small shared helpers of the value layer: text trimming, UTF-8, type facts, float text,
// guids and the German month and day names of the session language.
#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <string>

#include "types/value_util.h"

namespace engine::detail {

std::string_view TrimBlanks(std::string_view s) {
  size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(' ');
  return s.substr(b, e - b + 1);
}

std::string_view TrimRightBlanks(std::string_view s) {
  size_t e = s.find_last_not_of(' ');
  if (e == std::string_view::npos) return {};
  return s.substr(0, e + 1);
}

char32_t DecodeUtf8(std::string_view s, size_t& i) {
  auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  int extra = b0 >= 0xF0 ? 3 : (b0 >= 0xE0 ? 2 : (b0 >= 0xC0 ? 1 : 0));
  if (extra == 0 || i + static_cast<size_t>(extra) >= s.size()) {
    ++i;
    return b0;
  }
  char32_t c = b0 & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return b0;
    }
    c = (c << 6) | (b & 0x3F);
  }
  i += static_cast<size_t>(extra) + 1;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

int64_t IntTypeMin(TypeId id) {
  switch (id) {
    case TypeId::kBit:
    case TypeId::kTinyInt:
      return 0;
    case TypeId::kSmallInt:
      return -32768;
    case TypeId::kInt:
      return INT32_MIN;
    default:
      return INT64_MIN;
  }
}

int64_t IntTypeMax(TypeId id) {
  switch (id) {
    case TypeId::kBit:
      return 1;
    case TypeId::kTinyInt:
      return 255;
    case TypeId::kSmallInt:
      return 32767;
    case TypeId::kInt:
      return INT32_MAX;
    default:
      return INT64_MAX;
  }
}

int IntTypePrecision(TypeId id) {
  switch (id) {
    case TypeId::kBit:
      return 1;
    case TypeId::kTinyInt:
      return 3;
    case TypeId::kSmallInt:
      return 5;
    case TypeId::kInt:
      return 10;
    default:
      return 19;
  }
}

bool IsMoney(TypeId id) { return id == TypeId::kMoney || id == TypeId::kSmallMoney; }
bool IsDecimalType(TypeId id) { return id == TypeId::kDecimal || id == TypeId::kNumeric; }

SqlType MakeType(TypeId id, int32_t length, uint8_t precision, uint8_t scale) {
  return SqlType{id, length, precision, scale};
}

SqlType DecimalType(int precision, int scale) {
  if (scale < 0) scale = 0;
  if (precision < 1) precision = 1;
  if (precision > 38) {
    // Keep the integral digits; give up scale, but not below six places.
    int integral = precision - scale;
    scale = std::max(38 - integral, std::min(scale, 6));
    precision = 38;
  }
  if (scale > precision) scale = precision;
  return SqlType{TypeId::kNumeric, 0, static_cast<uint8_t>(precision), static_cast<uint8_t>(scale)};
}

SqlType AsDecimalType(const SqlType& t) {
  if (IsDecimalType(t.id)) return t;
  if (t.id == TypeId::kMoney) return DecimalType(19, 4);
  if (t.id == TypeId::kSmallMoney) return DecimalType(10, 4);
  return DecimalType(IntTypePrecision(t.id), 0);
}

Decimal ToDecimal(const Value& v) {
  if (v.type().IsInteger()) return Decimal{v.as_int(), 0};
  return v.as_decimal();
}

std::string ShortestDouble(double v) {
  if (v == 0) return "0";
  std::array<char, 64> buf{};
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return {buf.data(), r.ptr};
}

std::string ShortestFloat(float v) {
  if (v == 0) return "0";
  std::array<char, 64> buf{};
  auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return {buf.data(), r.ptr};
}

std::string FloatToStyle0(double v) {
  std::array<char, 64> buf{};
  std::snprintf(buf.data(), buf.size(), "%.6g", v);
  std::string s(buf.data());
  // SQL Server prints at least three exponent digits ("1e+020").
  size_t e = s.find('e');
  if (e != std::string::npos && e + 2 < s.size()) {
    std::string exp_digits = s.substr(e + 2);
    while (exp_digits.size() < 3) exp_digits.insert(0, "0");
    s = s.substr(0, e + 2) + exp_digits;
  }
  return s;
}

std::optional<std::string> NormalizeGuid(std::string_view s) {
  s = TrimBlanks(s);
  if (s.size() == 38 && s.front() == '{' && s.back() == '}') s = s.substr(1, 36);
  if (s.size() != 36) return std::nullopt;
  std::string out(s);
  for (size_t i = 0; i < out.size(); ++i) {
    char c = out[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-') return std::nullopt;
      continue;
    }
    if (c >= 'a' && c <= 'f') {
      out[i] = static_cast<char>(c - 'a' + 'A');
    } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return std::nullopt;
    }
  }
  return out;
}

namespace {
constexpr std::array<std::string_view, 12> kMonths = {"Januar",    "Februar", "März",     "April",
                                                      "Mai",       "Juni",    "Juli",     "August",
                                                      "September", "Oktober", "November", "Dezember"};
constexpr std::array<std::string_view, 12> kShortMonths = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                                                           "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
constexpr std::array<std::string_view, 12> kEnglishMonths = {"January",   "February", "March",    "April",
                                                             "May",       "June",     "July",     "August",
                                                             "September", "October",  "November", "December"};
constexpr std::array<std::string_view, 7> kWeekdays = {"Montag",  "Dienstag", "Mittwoch", "Donnerstag",
                                                       "Freitag", "Samstag",  "Sonntag"};

bool StartsWithCi(std::string_view word, std::string_view name, size_t min_len) {
  if (word.size() < min_len || word.size() > name.size()) return false;
  return CollateEqual(word, name.substr(0, word.size()));
}
}  // namespace

std::string_view MonthName(int month) { return kMonths[static_cast<size_t>((month + 11) % 12)]; }
std::string_view MonthShortName(int month) { return kShortMonths[static_cast<size_t>((month + 11) % 12)]; }
std::string_view WeekdayName(int weekday) { return kWeekdays[static_cast<size_t>((weekday + 6) % 7)]; }

int MonthFromName(std::string_view name) {
  // Whole names or abbreviations of at least three letters, English or German.
  for (int m = 1; m <= 12; ++m) {
    if (StartsWithCi(name, kEnglishMonths[static_cast<size_t>(m - 1)], 3)) return m;
    if (StartsWithCi(name, kMonths[static_cast<size_t>(m - 1)], 3)) return m;
  }
  if (CollateEqual(name, "Maerz") || CollateEqual(name, "Mrz")) return 3;
  return 0;
}

}  // namespace engine::detail
