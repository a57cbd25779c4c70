// String functions. Positions and lengths count characters; matching (REPLACE, CHARINDEX)
// follows the collation: case-insensitive, accent-sensitive.
#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "errors.h"
#include "types/functions_internal.h"
#include "types/value_util.h"
#include "values.h"

namespace engine::fn {
namespace {

using detail::MakeType;

std::vector<char32_t> Chars(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) out.push_back(detail::DecodeUtf8(s, i));
  return out;
}

std::string Join(const std::vector<char32_t>& c, size_t from, size_t to) {
  std::string out;
  for (size_t i = from; i < to && i < c.size(); ++i) detail::AppendUtf8(out, c[i]);
  return out;
}

bool MatchAt(const std::vector<char32_t>& s, size_t pos, const std::vector<char32_t>& f) {
  if (pos + f.size() > s.size()) return false;
  for (size_t k = 0; k < f.size(); ++k) {
    if (s[pos + k] != f[k] && detail::FoldCase(s[pos + k]) != detail::FoldCase(f[k])) return false;
  }
  return true;
}

Value StringValue(std::string s, const SqlType& t) { return Value::String(std::move(s), t); }

// (n)varchar result of the string functions that build new text; at most 8000 bytes.
SqlType BuiltType(bool unicode, int32_t length) {
  return MakeType(unicode ? TypeId::kNVarChar : TypeId::kVarChar, length);
}

Value MapCase(Args a, std::string (*map)(std::string_view)) {
  SqlType t = a[0].type().IsString() ? a[0].type() : StringResultType(a[0].type());
  if (t.id == TypeId::kText) t = MakeType(TypeId::kVarChar, -1);
  if (t.id == TypeId::kNText) t = MakeType(TypeId::kNVarChar, -1);
  if (a[0].is_null()) return Value::Null(t);
  return StringValue(map(ArgText(a[0])), t);
}

}  // namespace

Value Upper(Args a, const ConvertOptions&) { return MapCase(a, UpperCase); }
Value Lower(Args a, const ConvertOptions&) { return MapCase(a, LowerCase); }

Value Len(Args a, const ConvertOptions&) {
  TypeId id = (a[0].type().length < 0 && a[0].type().IsString()) ? TypeId::kBigInt : TypeId::kInt;
  if (a[0].is_null()) return Value::Null(MakeType(id));
  return Value::Int(static_cast<int64_t>(Utf8Length(detail::TrimRightBlanks(ArgText(a[0])))), id);
}

Value DataLength(Args a, const ConvertOptions&) {
  const Value& v = a[0];
  if (v.is_null()) return Value::Null(MakeType(TypeId::kInt));
  const SqlType& t = v.type();
  int64_t n = 0;
  switch (t.id) {
    case TypeId::kChar:
    case TypeId::kVarChar:
    case TypeId::kText:
      n = static_cast<int64_t>(Utf8Length(v.as_string()));
      break;
    case TypeId::kNChar:
    case TypeId::kNVarChar:
    case TypeId::kNText:
      n = 2 * static_cast<int64_t>(Utf8Length(v.as_string()));
      break;
    case TypeId::kBit:
    case TypeId::kTinyInt:
      n = 1;
      break;
    case TypeId::kSmallInt:
      n = 2;
      break;
    case TypeId::kInt:
    case TypeId::kReal:
    case TypeId::kSmallMoney:
    case TypeId::kSmallDateTime:
      n = 4;
      break;
    case TypeId::kDecimal:
    case TypeId::kNumeric:
      n = t.precision <= 9 ? 5 : t.precision <= 19 ? 9 : t.precision <= 28 ? 13 : 17;
      break;
    case TypeId::kUniqueIdentifier:
      n = 16;
      break;
    default:
      n = 8;
      break;
  }
  return Value::Int(n);
}

Value Left(Args a, const ConvertOptions& o) {
  SqlType t = StringResultType(a[0].type());
  auto n = ArgInt(a[1], o);
  if (n && *n < 0) throw err::InvalidLength("left");
  if (a[0].is_null() || !n) return Value::Null(t);
  return StringValue(Utf8Substr(ArgText(a[0]), 0, static_cast<size_t>(*n)), t);
}

Value Right(Args a, const ConvertOptions& o) {
  SqlType t = StringResultType(a[0].type());
  auto n = ArgInt(a[1], o);
  if (n && *n < 0) throw err::InvalidLength("right");
  if (a[0].is_null() || !n) return Value::Null(t);
  std::string s = ArgText(a[0]);
  size_t len = Utf8Length(s);
  size_t take = std::min(len, static_cast<size_t>(*n));
  return StringValue(Utf8Substr(s, len - take, take), t);
}

// SUBSTRING(s, start, length): positions before 1 still use up length.
Value Substring(Args a, const ConvertOptions& o) {
  SqlType t = StringResultType(a[0].type());
  auto start = ArgInt(a[1], o);
  auto len = ArgInt(a[2], o);
  if (len && *len < 0) throw err::InvalidLengthLeftSubstring();
  if (a[0].is_null() || !start || !len) return Value::Null(t);
  int64_t first = *start;
  int64_t end = first + *len;  // exclusive, 1-based
  if (first < 1) first = 1;
  if (end <= first) return StringValue("", t);
  return StringValue(Utf8Substr(ArgText(a[0]), static_cast<size_t>(first - 1), static_cast<size_t>(end - first)), t);
}

Value LTrim(Args a, const ConvertOptions&) {
  SqlType t = StringResultType(a[0].type());
  if (a[0].is_null()) return Value::Null(t);
  std::string s = ArgText(a[0]);
  size_t b = s.find_first_not_of(' ');
  return StringValue(b == std::string::npos ? std::string() : s.substr(b), t);
}

Value RTrim(Args a, const ConvertOptions&) {
  SqlType t = StringResultType(a[0].type());
  if (a[0].is_null()) return Value::Null(t);
  return StringValue(std::string(detail::TrimRightBlanks(ArgText(a[0]))), t);
}

Value Replace(Args a, const ConvertOptions&) {
  bool unicode = a[0].type().IsUnicode() || a[1].type().IsUnicode() || a[2].type().IsUnicode();
  bool max = a[0].type().length < 0 && a[0].type().IsString();
  SqlType t = BuiltType(unicode, max ? -1 : (unicode ? 4000 : 8000));
  if (a[0].is_null() || a[1].is_null() || a[2].is_null()) return Value::Null(t);
  std::vector<char32_t> s = Chars(ArgText(a[0]));
  std::vector<char32_t> f = Chars(ArgText(a[1]));
  std::string r = ArgText(a[2]);
  if (f.empty()) return StringValue(ArgText(a[0]), t);
  std::string out;
  size_t i = 0;
  while (i < s.size()) {
    if (MatchAt(s, i, f)) {
      out += r;
      i += f.size();
    } else {
      detail::AppendUtf8(out, s[i++]);
    }
  }
  if (!unicode) out = ToCodePage1252(out);
  return StringValue(std::move(out), t);
}

// CHARINDEX(find, s [, start]): 1-based position of the first match, 0 when none.
Value CharIndex(Args a, const ConvertOptions& o) {
  TypeId id = (a[1].type().length < 0 && a[1].type().IsString()) ? TypeId::kBigInt : TypeId::kInt;
  std::optional<int64_t> start = int64_t{1};
  if (a.size() == 3) start = ArgInt(a[2], o);
  if (a[0].is_null() || a[1].is_null() || !start) return Value::Null(MakeType(id));
  std::vector<char32_t> f = Chars(ArgText(a[0]));
  std::vector<char32_t> s = Chars(ArgText(a[1]));
  if (f.empty()) return Value::Int(0, id);
  size_t from = *start < 1 ? 0 : static_cast<size_t>(*start - 1);
  for (size_t i = from; i + f.size() <= s.size(); ++i) {
    if (MatchAt(s, i, f)) return Value::Int(static_cast<int64_t>(i + 1), id);
  }
  return Value::Int(0, id);
}

Value Replicate(Args a, const ConvertOptions& o) {
  SqlType t = BuiltType(a[0].type().IsUnicode(), a[0].type().length < 0 ? -1 : (a[0].type().IsUnicode() ? 4000 : 8000));
  auto n = ArgInt(a[1], o);
  if (a[0].is_null() || !n || *n < 0) return Value::Null(t);
  std::string s = ArgText(a[0]);
  auto cap = static_cast<size_t>(t.length < 0 ? 1 << 30 : t.length);
  std::string out;
  for (int64_t i = 0; i < *n && Utf8Length(out) + Utf8Length(s) <= cap && !s.empty(); ++i) out += s;
  return StringValue(std::move(out), t);
}

Value Space(Args a, const ConvertOptions& o) {
  SqlType t = MakeType(TypeId::kVarChar, 8000);
  auto n = ArgInt(a[0], o);
  if (!n || *n < 0) return Value::Null(t);
  return StringValue(std::string(static_cast<size_t>(std::min<int64_t>(*n, 8000)), ' '), t);
}

Value Reverse(Args a, const ConvertOptions&) {
  SqlType t = StringResultType(a[0].type());
  if (a[0].is_null()) return Value::Null(t);
  std::vector<char32_t> c = Chars(ArgText(a[0]));
  return StringValue(Join(std::vector<char32_t>(c.rbegin(), c.rend()), 0, c.size()), t);
}

// STR(number [, length [, decimals]]): right-aligned; '*' * length when it does not fit.
Value Str(Args a, const ConvertOptions& o) {
  int64_t length = 10, decimals = 0;
  if (a.size() > 1) length = ArgInt(a[1], o).value_or(-1);
  if (a.size() > 2) decimals = ArgInt(a[2], o).value_or(-1);
  SqlType t = MakeType(TypeId::kVarChar, static_cast<int32_t>(std::clamp<int64_t>(length, 1, 8000)));
  if (a[0].is_null() || length <= 0 || length > 8000 || decimals < 0) return Value::Null(t);
  double f = Convert(a[0], MakeType(TypeId::kFloat), o, ConvertMode::kImplicit).as_float();
  decimals = std::min<int64_t>(decimals, 16);
  std::array<char, 400> buf{};
  std::snprintf(buf.data(), buf.size(), "%.*f", static_cast<int>(decimals), f);
  std::string s = buf.data();
  if (static_cast<int64_t>(s.size()) > length) {
    // Fewer decimals first, then give up.
    size_t point = s.find('.');
    std::string whole = point == std::string::npos ? s : s.substr(0, point);
    if (static_cast<int64_t>(whole.size()) > length)
      return StringValue(std::string(static_cast<size_t>(length), '*'), t);
    int keep = static_cast<int>(length - static_cast<int64_t>(whole.size()) - 1);
    std::snprintf(buf.data(), buf.size(), "%.*f", std::max(keep, 0), f);
    s = buf.data();
  }
  if (static_cast<int64_t>(s.size()) < length) s.insert(0, static_cast<size_t>(length) - s.size(), ' ');
  return StringValue(std::move(s), t);
}

Value Ascii(Args a, const ConvertOptions&) {
  if (a[0].is_null()) return Value::Null(MakeType(TypeId::kInt));
  std::string s = ToCodePage1252(ArgText(a[0]));
  if (s.empty()) return Value::Null(MakeType(TypeId::kInt));
  size_t i = 0;
  char32_t c = detail::DecodeUtf8(s, i);
  if (c > 0xFF) {
    // Windows-1252 places a few letters and signs at 0x80..0x9F.
    static constexpr auto kHigh = std::to_array<std::pair<char32_t, int>>(
        {{0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86}, {0x2021, 0x87},
         {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C}, {0x017D, 0x8E}, {0x2018, 0x91},
         {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95}, {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98},
         {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B}, {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F}});
    for (auto [cp, code] : kHigh) {
      if (cp == c) return Value::Int(code);
    }
    return Value::Int('?');
  }
  return Value::Int(static_cast<int64_t>(c));
}

Value Char(Args a, const ConvertOptions& o) {
  SqlType t = MakeType(TypeId::kChar, 1);
  auto n = ArgInt(a[0], o);
  if (!n || *n < 0 || *n > 255) return Value::Null(t);
  std::string s;
  static constexpr std::array<char32_t, 32> kHigh = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                                     0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  auto c = static_cast<char32_t>(*n);
  detail::AppendUtf8(s, c >= 0x80 && c < 0xA0 ? kHigh[c - 0x80] : c);
  return StringValue(std::move(s), t);
}

Value NChar(Args a, const ConvertOptions& o) {
  SqlType t = MakeType(TypeId::kNChar, 1);
  auto n = ArgInt(a[0], o);
  if (!n || *n < 0 || *n > 0x10FFFF) return Value::Null(t);
  std::string s;
  detail::AppendUtf8(s, static_cast<char32_t>(*n));
  return StringValue(std::move(s), t);
}

Value Unicode(Args a, const ConvertOptions&) {
  if (a[0].is_null()) return Value::Null(MakeType(TypeId::kInt));
  std::string s = ArgText(a[0]);
  if (s.empty()) return Value::Null(MakeType(TypeId::kInt));
  size_t i = 0;
  return Value::Int(static_cast<int64_t>(detail::DecodeUtf8(s, i)));
}

// CONCAT treats NULL as an empty string.
Value Concat(Args a, const ConvertOptions&) {
  bool unicode = false;
  std::string out;
  for (const Value& v : a) {
    unicode = unicode || v.type().IsUnicode();
    if (!v.is_null()) out += ArgText(v);
  }
  return StringValue(std::move(out), BuiltType(unicode, unicode ? 4000 : 8000));
}

}  // namespace engine::fn
