// CONVERT(type, value, style): the datetime <-> string styles and the money/float styles.
#include <array>
#include <cstdio>
#include <string>

#include "types/value_util.h"
#include "values.h"

namespace engine {
namespace {

std::string Two(int v) {
  std::array<char, 8> buf{};
  std::snprintf(buf.data(), buf.size(), "%02d", v % 100);
  return buf.data();
}

std::string Pad(int v, int width) {
  std::array<char, 16> buf{};
  std::snprintf(buf.data(), buf.size(), "%0*d", width, v);
  return buf.data();
}

std::string TimeText(const DateParts& p, bool with_ms, char ms_sep) {
  std::string s = Two(p.hour) + ":" + Two(p.minute) + ":" + Two(p.second);
  if (with_ms) s += ms_sep + Pad(p.ms, 3);
  return s;
}

// nullopt: the style is not a datetime style; the plain conversion applies.
std::optional<std::string> DateTimeStyleText(DateTime dt, int style) {
  DateParts p = SplitDateTime(dt);
  bool century = style >= 100;
  std::string year = century ? Pad(p.year, 4) : Two(p.year);
  std::string mon(detail::MonthShortName(p.month));
  switch (style % 100) {
    case 1:
      return Two(p.month) + "/" + Two(p.day) + "/" + year;
    case 2:
      return year + "." + Two(p.month) + "." + Two(p.day);
    case 3:
      return Two(p.day) + "/" + Two(p.month) + "/" + year;
    case 4:
      return Two(p.day) + "." + Two(p.month) + "." + year;
    case 5:
      return Two(p.day) + "-" + Two(p.month) + "-" + year;
    case 6:
      return Two(p.day) + " " + mon + " " + year;
    case 7:
      return mon + " " + Two(p.day) + ", " + year;
    case 8:
      return TimeText(p, false, '.');
    case 10:
      return Two(p.month) + "-" + Two(p.day) + "-" + year;
    case 11:
      return year + "/" + Two(p.month) + "/" + Two(p.day);
    case 12:
      return year + Two(p.month) + Two(p.day);
    case 13:
      return Two(p.day) + " " + mon + " " + Pad(p.year, 4) + " " + TimeText(p, true, ':');
    case 14:
      return TimeText(p, true, ':');
    case 20:
      return Pad(p.year, 4) + "-" + Two(p.month) + "-" + Two(p.day) + " " + TimeText(p, false, '.');
    case 21:
      return Pad(p.year, 4) + "-" + Two(p.month) + "-" + Two(p.day) + " " + TimeText(p, true, '.');
    case 23:
      return Pad(p.year, 4) + "-" + Two(p.month) + "-" + Two(p.day);
    case 26:
      return Pad(p.year, 4) + "-" + Two(p.month) + "-" + Two(p.day) + "T" + TimeText(p, true, '.');
    default:
      return std::nullopt;
  }
}

// Which field order a string in a given style is read with.
DateFormat StyleDateFormat(int style, DateFormat session) {
  switch (style % 100) {
    case 1:
    case 10:
      return DateFormat::kMdy;
    case 3:
    case 4:
    case 5:
    case 6:
    case 13:
      return DateFormat::kDmy;
    case 2:
    case 11:
    case 20:
    case 21:
    case 23:
    case 26:
      return DateFormat::kYmd;
    default:
      return session;
  }
}

std::string MoneyStyleText(const Decimal& d, int style) {
  if (style == 2) return FormatDecimal(detail::Rescale(d, 4).value_or(d));
  std::string s = FormatDecimal(detail::Rescale(d, 2).value_or(d));
  if (style != 1) return s;
  size_t point = s.find('.');
  size_t begin = s[0] == '-' ? 1 : 0;
  for (size_t i = point; i > begin + 3; i -= 3) s.insert(i - 3, ",");
  return s;
}

}  // namespace

Value ConvertWithStyle(const Value& v, const SqlType& to, int style, const ConvertOptions& opts) {
  if (v.is_null()) return Value::Null(to);
  const SqlType& from = v.type();
  if (from.IsDateTime() && to.IsString()) {
    if (auto text = DateTimeStyleText(v.as_datetime(), style)) {
      return Convert(Value::VarChar(std::move(*text)), to, opts, ConvertMode::kExplicit);
    }
  }
  if (from.IsString() && to.IsDateTime()) {
    ConvertOptions o = opts;
    o.dateformat = StyleDateFormat(style, opts.dateformat);
    return Convert(v, to, o, ConvertMode::kExplicit);
  }
  if (detail::IsMoney(from.id) && to.IsString() && (style == 1 || style == 2)) {
    return Convert(Value::VarChar(MoneyStyleText(v.as_decimal(), style)), to, opts, ConvertMode::kExplicit);
  }
  return Convert(v, to, opts, ConvertMode::kExplicit);
}

}  // namespace engine
