// Value factories, their texts, and values read back from a server's text.
#include "db/value.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <utility>

namespace db {
namespace {

constexpr int64_t kMsPerDay = 86'400'000;

// The shortest text that reads back as `number` (the way the engine and sqlcmd show floats).
std::string ShortestText(double number) {
  std::array<char, 32> buffer{};
  const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number);
  return ec == std::errc() ? std::string(buffer.data(), end) : std::string();
}

std::string DecimalDigits(int64_t units, int scale) {
  const bool negative = units < 0;
  // Through unsigned so that the smallest int64 keeps its digits.
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
  std::string digits = std::to_string(magnitude);
  if (scale > 0) {
    if (digits.size() <= static_cast<size_t>(scale))
      digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
  }
  return negative ? "-" + digits : digits;
}

std::chrono::sys_days BaseDay() {
  using namespace std::chrono;
  return sys_days(year_month_day(year(1900), January, day(1)));
}

// Reads exactly `width` digits at text[pos]; advances pos.
bool ReadDigits(std::string_view text, size_t& pos, size_t width, int& out) {
  if (pos + width > text.size()) return false;
  const auto [end, ec] = std::from_chars(text.data() + pos, text.data() + pos + width, out);
  if (ec != std::errc() || end != text.data() + pos + width) return false;
  pos += width;
  return true;
}

bool Expect(std::string_view text, size_t& pos, char c) {
  if (pos >= text.size() || text[pos] != c) return false;
  ++pos;
  return true;
}

// "YYYY-MM-DD hh:mm:ss[.f[f[f]]]" (a datetime as a client shows it); smalldatetime shows no fraction.
std::optional<DateTime> ParseDateTime(std::string_view text) {
  size_t pos = 0;
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  if (!ReadDigits(text, pos, 4, y) || !Expect(text, pos, '-') || !ReadDigits(text, pos, 2, mo) ||
      !Expect(text, pos, '-') || !ReadDigits(text, pos, 2, d) || !Expect(text, pos, ' ') ||
      !ReadDigits(text, pos, 2, h) || !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, mi) ||
      !Expect(text, pos, ':') || !ReadDigits(text, pos, 2, s)) {
    return std::nullopt;
  }
  int64_t ms = 0;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    int64_t scale = 100;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos, scale /= 10)
      ms += (text[pos] - '0') * scale;
  }
  if (pos != text.size()) return std::nullopt;
  using namespace std::chrono;
  const year_month_day date{year(y), month(static_cast<unsigned>(mo)), day(static_cast<unsigned>(d))};
  if (!date.ok() || h > 23 || mi > 59 || s > 59) return std::nullopt;
  const int64_t days = (sys_days(date) - BaseDay()).count();
  return DateTime{days * kMsPerDay + ((h * 60 + mi) * 60 + s) * 1000LL + ms};
}

// "[-]digits[.digits]" into units and scale; at most 18 significant digits.
std::optional<Value> ParseDecimal(const std::string& text) {
  std::string_view rest = text;
  const bool negative = !rest.empty() && rest.front() == '-';
  if (negative || (!rest.empty() && rest.front() == '+')) rest.remove_prefix(1);
  const size_t point = rest.find('.');
  std::string digits(rest.substr(0, point));
  int scale = 0;
  if (point != std::string_view::npos) {
    digits += rest.substr(point + 1);
    scale = static_cast<int>(rest.size() - point - 1);
  }
  if (digits.empty() || digits.size() > 18) return std::nullopt;
  int64_t units = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), units);
  if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return Value::Dec(negative ? -units : units, scale, text);
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number number{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return number;
}

}  // namespace

Value Value::Text(std::string utf8) {
  Value v;
  v.kind_ = Kind::kText;
  v.text_ = std::move(utf8);
  return v;
}

Value Value::Int(int64_t number) {
  Value v;
  v.kind_ = Kind::kInteger;
  v.integer_ = number;
  v.float_ = static_cast<double>(number);
  v.text_ = std::to_string(number);
  return v;
}

Value Value::Float(double number, std::string text) {
  Value v;
  v.kind_ = Kind::kFloat;
  v.float_ = number;
  v.text_ = text.empty() ? ShortestText(number) : std::move(text);
  return v;
}

Value Value::Dec(int64_t units, int scale, std::string text) {
  Value v;
  v.kind_ = Kind::kDecimal;
  v.integer_ = units;
  v.scale_ = scale;
  v.float_ = static_cast<double>(units) / std::pow(10.0, scale);
  v.text_ = text.empty() ? DecimalDigits(units, scale) : std::move(text);
  return v;
}

Value Value::Date(DateTime when, std::string text) {
  Value v;
  v.kind_ = Kind::kDateTime;
  v.integer_ = when.ms;
  // Days since 1899-12-30, the way client programs see a datetime as a number.
  v.float_ = static_cast<double>(when.ms) / static_cast<double>(kMsPerDay) + 2.0;
  v.text_ = text.empty() ? DateTimeText(when) : std::move(text);
  return v;
}

Value Value::Other(std::string text) {
  Value v;
  v.kind_ = Kind::kOther;
  v.text_ = std::move(text);
  return v;
}

std::string DateTimeText(DateTime when) {
  using namespace std::chrono;
  // Floor division, so that times before 1900 keep a positive time of day.
  int64_t days = when.ms / kMsPerDay;
  int64_t in_day = when.ms % kMsPerDay;
  if (in_day < 0) {
    in_day += kMsPerDay;
    --days;
  }
  const year_month_day date{BaseDay() + std::chrono::days(days)};
  std::array<char, 32> buffer{};
  std::snprintf(buffer.data(), buffer.size(), "%04d-%02u-%02u %02lld:%02lld:%02lld.%03lld",
                static_cast<int>(date.year()), static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<long long>(in_day / 3'600'000), static_cast<long long>(in_day / 60'000 % 60),
                static_cast<long long>(in_day / 1000 % 60), static_cast<long long>(in_day % 1000));
  return buffer.data();
}

std::optional<Value> ValueFromText(Value::Kind kind, std::string text) {
  switch (kind) {
    case Value::Kind::kNull:
      return Value();
    case Value::Kind::kText:
      return Value::Text(std::move(text));
    case Value::Kind::kOther:
      return Value::Other(std::move(text));
    case Value::Kind::kInteger: {
      const auto number = ParseNumber<int64_t>(text);
      if (!number) return std::nullopt;
      return Value::Int(*number);
    }
    case Value::Kind::kFloat: {
      const auto number = ParseNumber<double>(text);
      if (!number) return std::nullopt;
      return Value::Float(*number, std::move(text));
    }
    case Value::Kind::kDecimal: {
      if (auto decimal = ParseDecimal(text)) return decimal;
      // More digits than 64 bits of units hold (numeric(38)): still a number, if not an exact one.
      const auto number = ParseNumber<double>(text);
      if (!number) return std::nullopt;
      return Value::Float(*number, std::move(text));
    }
    case Value::Kind::kDateTime: {
      const auto when = ParseDateTime(text);
      if (!when) return std::nullopt;
      return Value::Date(*when, std::move(text));
    }
  }
  return std::nullopt;
}

}  // namespace db
