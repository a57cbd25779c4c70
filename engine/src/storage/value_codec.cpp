// Encoding of T-SQL values into SQLite columns and back; see value_codec.h for the forms.
#include "storage/value_codec.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace engine::storage {
namespace {

constexpr int64_t kMsPerDay = 86400000;
constexpr int64_t kDaysFrom1970To1900 = -25567;  // 1900-01-01 counted from 1970-01-01

// Days since 1970-01-01 of a proleptic Gregorian date (H. Hinnant's civil calendar algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = yoe + era * 400 + (m <= 2);
}

int64_t Pow10(int n) {
  int64_t p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

bool IsDecimalLike(TypeId id) {
  return id == TypeId::kDecimal || id == TypeId::kNumeric || id == TypeId::kMoney || id == TypeId::kSmallMoney;
}

bool IsFloatLike(TypeId id) { return id == TypeId::kReal || id == TypeId::kFloat; }

// The value as an exact decimal, whatever its numeric type; nullopt for non-numbers.
std::optional<Decimal> AsDecimal(const Value& v) {
  const SqlType& t = v.type();
  if (t.IsInteger()) return Decimal{v.as_int(), 0};
  if (IsDecimalLike(t.id)) return v.as_decimal();
  if (IsFloatLike(t.id)) {
    double x = v.as_float() * 10000.0;
    if (!std::isfinite(x) || std::fabs(x) > 9.0e18) return std::nullopt;
    return Decimal{static_cast<int64_t>(std::llround(x)), 4};
  }
  return std::nullopt;
}

// Rescales with rounding half away from zero (for values that should already fit).
int64_t RescaleRounded(const Decimal& d, int scale) {
  if (d.scale <= scale) {
    auto exact = Rescale(d, scale);
    return exact ? *exact : d.units;
  }
  if (d.scale - scale > 18) return 0;  // |units| < 10^19: nothing is left after the point moves
  int64_t div = Pow10(d.scale - scale);
  int64_t q = d.units / div;
  int64_t r = d.units % div;
  if (r * 2 >= div) ++q;
  if (r * 2 <= -div) --q;
  return q;
}

void BindText(sqlite3_stmt* stmt, int i, const std::string& s) {
  sqlite3_bind_text(stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void BindStatic(sqlite3_stmt* stmt, int i, const std::string& s) {
  sqlite3_bind_text(stmt, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
}

void BindAsText(sqlite3_stmt* stmt, int i, const Value& v) {
  const SqlType& t = v.type();
  if (t.IsString() || t.id == TypeId::kUniqueIdentifier) return BindStatic(stmt, i, v.as_string());
  if (t.IsDateTime()) return BindText(stmt, i, EncodeDateTime(v.as_datetime()));
  BindText(stmt, i, v.ToString());
}

void BindNumber(sqlite3_stmt* stmt, int i, const SqlType& column, const Value& v) {
  const SqlType& t = v.type();
  if (column.IsInteger()) {
    if (t.IsInteger()) return static_cast<void>(sqlite3_bind_int64(stmt, i, v.as_int()));
    if (auto d = AsDecimal(v)) return static_cast<void>(sqlite3_bind_int64(stmt, i, RescaleRounded(*d, 0)));
  } else if (IsFloatLike(column.id)) {
    if (IsFloatLike(t.id)) return static_cast<void>(sqlite3_bind_double(stmt, i, v.as_float()));
    if (t.IsInteger()) return static_cast<void>(sqlite3_bind_double(stmt, i, static_cast<double>(v.as_int())));
    if (IsDecimalLike(t.id)) {
      const Decimal& d = v.as_decimal();
      return static_cast<void>(
          sqlite3_bind_double(stmt, i, static_cast<double>(d.units) / static_cast<double>(Pow10(d.scale))));
    }
  } else if (auto d = AsDecimal(v)) {
    int scale = StoredScale(column);
    return BindText(stmt, i, EncodeDecimal(RescaleRounded(*d, scale), scale));
  }
  BindAsText(stmt, i, v);
}

}  // namespace

const char* DeclaredType(const SqlType& t) {
  if (t.IsInteger()) return "INTEGER";
  if (IsFloatLike(t.id)) return "REAL";
  return "TEXT";
}

int StoredScale(const SqlType& t) {
  if (t.id == TypeId::kMoney || t.id == TypeId::kSmallMoney) return 4;
  return t.scale;
}

std::string EncodeDateTime(DateTime dt) {
  int64_t days = dt.ms / kMsPerDay;
  int64_t rest = dt.ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  int64_t y = 0;
  int m = 0, d = 0;
  CivilFromDays(days + kDaysFrom1970To1900, y, m, d);
  std::array<char, 48> buf{};
  std::snprintf(buf.data(), buf.size(), "%04lld-%02d-%02d %02d:%02d:%02d.%03d", static_cast<long long>(y), m, d,
                static_cast<int>(rest / 3600000), static_cast<int>(rest / 60000 % 60),
                static_cast<int>(rest / 1000 % 60), static_cast<int>(rest % 1000));
  return buf.data();
}

std::optional<DateTime> DecodeDateTime(std::string_view s) {
  // "YYYY-MM-DD HH:MM:SS.mmm"; the time part may be shorter ("YYYY-MM-DD", "... HH:MM:SS").
  auto num = [&](size_t pos, size_t len, int& out) {
    if (pos + len > s.size()) return false;
    out = 0;
    for (size_t k = pos; k < pos + len; ++k) {
      if (s[k] < '0' || s[k] > '9') return false;
      out = out * 10 + (s[k] - '0');
    }
    return true;
  };
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
  if (!num(0, 4, y) || s.size() < 10 || s[4] != '-' || !num(5, 2, mo) || s[7] != '-' || !num(8, 2, d)) {
    return std::nullopt;
  }
  if (s.size() > 10 && (!num(11, 2, h) || !num(14, 2, mi) || !num(17, 2, sec))) return std::nullopt;
  if (s.size() > 19 && !num(20, 3, ms)) return std::nullopt;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || sec > 59) return std::nullopt;
  int64_t days = DaysFromCivil(y, mo, d) - kDaysFrom1970To1900;
  return DateTime{days * kMsPerDay + ((h * 60 + mi) * 60 + sec) * 1000LL + ms};
}

std::string EncodeDecimal(int64_t units, int scale) {
  bool negative = units < 0;
  uint64_t mag = negative ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
  std::string digits = std::to_string(mag);
  if (scale > 0) {
    if (digits.size() <= static_cast<size_t>(scale))
      digits.insert(0, static_cast<size_t>(scale) + 1 - digits.size(), '0');
    digits.insert(digits.size() - static_cast<size_t>(scale), 1, '.');
  }
  if (negative) digits.insert(0, 1, '-');
  return digits;
}

std::optional<Decimal> DecodeDecimal(std::string_view s, int scale) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  uint64_t units = 0;
  int frac = -1;  // digits seen after the point; -1 before it
  bool any = false;
  constexpr uint64_t kLimit = std::numeric_limits<int64_t>::max() / 10;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.' && frac < 0) {
      frac = 0;
      continue;
    }
    if (c < '0' || c > '9') return std::nullopt;
    any = true;
    if (frac >= scale) continue;  // digits beyond the column's scale are not stored by the engine
    if (units > kLimit) return std::nullopt;
    units = units * 10 + static_cast<uint64_t>(c - '0');
    if (frac >= 0) ++frac;
  }
  if (!any) return std::nullopt;
  for (int k = frac < 0 ? 0 : frac; k < scale; ++k) {
    if (units > kLimit) return std::nullopt;
    units *= 10;
  }
  auto value = static_cast<int64_t>(units);
  return Decimal{negative ? -value : value, static_cast<uint8_t>(scale)};
}

std::optional<int64_t> Rescale(const Decimal& d, int scale) {
  if (d.scale == scale) return d.units;
  if (d.scale > scale) {
    if (d.scale - scale > 18) return d.units == 0 ? std::optional<int64_t>(0) : std::nullopt;
    int64_t div = Pow10(d.scale - scale);
    if (d.units % div != 0) return std::nullopt;
    return d.units / div;
  }
  if (scale - d.scale > 18) return d.units == 0 ? std::optional<int64_t>(0) : std::nullopt;
  int64_t mul = Pow10(scale - d.scale);
  if (d.units > std::numeric_limits<int64_t>::max() / mul || d.units < std::numeric_limits<int64_t>::min() / mul) {
    return std::nullopt;
  }
  return d.units * mul;
}

void BindValue(sqlite3_stmt* stmt, int i, const SqlType& column, const Value& v) {
  if (v.is_null()) {
    sqlite3_bind_null(stmt, i);
    return;
  }
  const SqlType& t = v.type();
  if (column.IsNumeric() && (t.IsNumeric())) return BindNumber(stmt, i, column, v);
  if (column.IsDateTime() && t.IsDateTime()) return BindText(stmt, i, EncodeDateTime(v.as_datetime()));
  BindAsText(stmt, i, v);
}

bool BindKey(sqlite3_stmt* stmt, int i, const SqlType& column, const Value& key) {
  if (key.is_null()) return false;  // '=' with NULL is never true
  const SqlType& t = key.type();
  if (IsDecimalLike(column.id) && t.IsExactNumeric()) {
    auto d = AsDecimal(key);
    int scale = StoredScale(column);
    auto units = d ? Rescale(*d, scale) : std::nullopt;
    if (!units) return false;
    BindText(stmt, i, EncodeDecimal(*units, scale));
    return true;
  }
  if (column.IsInteger() && IsDecimalLike(t.id)) {
    auto units = Rescale(key.as_decimal(), 0);
    if (!units) return false;
    sqlite3_bind_int64(stmt, i, *units);
    return true;
  }
  if (column.IsInteger() && IsFloatLike(t.id)) {
    sqlite3_bind_double(stmt, i, key.as_float());  // SQLite compares INTEGER with REAL numerically
    return true;
  }
  BindValue(stmt, i, column, key);
  return true;
}

void DecodeValue(sqlite3_stmt* stmt, int col, const SqlType& column, Value& out) {
  int stored = sqlite3_column_type(stmt, col);
  if (stored == SQLITE_NULL) {
    out = Value::Null(column);
    return;
  }
  if (column.IsInteger()) {
    int64_t v = sqlite3_column_int64(stmt, col);
    out = column.id == TypeId::kBit ? Value::Bit(v != 0) : Value::Int(v, column.id);
    return;
  }
  if (IsFloatLike(column.id)) {
    out = Value::Float(sqlite3_column_double(stmt, col), column.id);
    return;
  }
  if (IsDecimalLike(column.id)) {
    int scale = StoredScale(column);
    std::optional<Decimal> d;
    if (stored == SQLITE_INTEGER) {
      if (auto units = Rescale(Decimal{sqlite3_column_int64(stmt, col), 0}, scale)) {
        d = Decimal{*units, static_cast<uint8_t>(scale)};
      }
    } else {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
      d = DecodeDecimal(std::string_view(p, static_cast<size_t>(sqlite3_column_bytes(stmt, col))), scale);
    }
    out = d ? Value::Dec(*d, column) : Value::Null(column);
    return;
  }
  const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
  std::string_view text(p ? p : "", p ? static_cast<size_t>(sqlite3_column_bytes(stmt, col)) : 0);
  if (column.IsDateTime()) {
    auto dt = DecodeDateTime(text);
    out = dt ? Value::Date(*dt, column.id) : Value::Null(column);
    return;
  }
  out = Value::String(std::string(text), column);
}

}  // namespace engine::storage
