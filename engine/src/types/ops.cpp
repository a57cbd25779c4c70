// Comparison, grouping keys and the arithmetic operators with SQL Server's typing rules.
#include <array>
#include <cmath>
#include <string>

#include "errors.h"
#include "types/value_util.h"
#include "values.h"

namespace engine {
namespace {

using detail::Wide;

enum class Family : uint8_t { kNull, kInt, kExact, kFloat, kString, kDate, kGuid };

Family FamilyOf(const SqlType& t) {
  if (t.IsInteger()) return Family::kInt;
  if (t.IsExactNumeric()) return Family::kExact;
  if (t.IsNumeric()) return Family::kFloat;
  if (t.IsString()) return Family::kString;
  if (t.IsDateTime()) return Family::kDate;
  if (t.id == TypeId::kUniqueIdentifier) return Family::kGuid;
  return Family::kNull;
}

bool IsNumberFamily(Family f) { return f == Family::kInt || f == Family::kExact || f == Family::kFloat; }

template <typename T>
int Cmp(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

double AsDouble(const Value& v) {
  switch (FamilyOf(v.type())) {
    case Family::kInt:
      return static_cast<double>(v.as_int());
    case Family::kExact:
      return detail::DecimalToDouble(v.as_decimal());
    default:
      return v.as_float();
  }
}

// SQL Server orders uniqueidentifiers by the last group first, then backwards.
int CompareGuid(std::string_view a, std::string_view b) {
  static constexpr std::array<std::pair<size_t, size_t>, 5> kGroups = {{{24, 12}, {19, 4}, {14, 4}, {9, 4}, {0, 8}}};
  for (auto [pos, len] : kGroups) {
    if (a.size() < pos + len || b.size() < pos + len) break;
    int c = a.substr(pos, len).compare(b.substr(pos, len));
    if (c != 0) return c < 0 ? -1 : 1;
  }
  return 0;
}

int CompareNumbers(const Value& a, const Value& b, Family fa, Family fb) {
  if (fa == Family::kFloat || fb == Family::kFloat) return Cmp(AsDouble(a), AsDouble(b));
  if (fa == Family::kExact || fb == Family::kExact) {
    return detail::CompareDecimal(detail::ToDecimal(a), detail::ToDecimal(b));
  }
  return Cmp(a.as_int(), b.as_int());
}

int CompareSameFamily(const Value& a, const Value& b) {
  switch (FamilyOf(a.type())) {
    case Family::kString:
      return CollateCompare(a.as_string(), b.as_string());
    case Family::kDate:
      return Cmp(a.as_datetime().ms, b.as_datetime().ms);
    case Family::kGuid:
      return CompareGuid(a.as_string(), b.as_string());
    default:
      return CompareNumbers(a, b, FamilyOf(a.type()), FamilyOf(b.type()));
  }
}

}  // namespace

std::optional<int> Compare(const Value& a, const Value& b, const ConvertOptions& opts) {
  if (a.is_null() || b.is_null()) return std::nullopt;
  const SqlType& ta = a.type();
  const SqlType& tb = b.type();
  if (ta.IsInteger() && tb.IsInteger()) return Cmp(a.as_int(), b.as_int());
  if (ta.IsString() && tb.IsString()) return CollateCompare(a.as_string(), b.as_string());
  Family fa = FamilyOf(ta);
  Family fb = FamilyOf(tb);
  if (fa == fb || (IsNumberFamily(fa) && IsNumberFamily(fb))) return CompareSameFamily(a, b);
  // Different families: the operand of lower precedence is converted to the other's type.
  if (ta.Precedence() >= tb.Precedence()) {
    return CompareSameFamily(a, Convert(b, ta, opts, ConvertMode::kImplicit));
  }
  return CompareSameFamily(Convert(a, tb, opts, ConvertMode::kImplicit), b);
}

bool GroupEqual(const Value& a, const Value& b, const ConvertOptions& opts) {
  if (a.is_null() || b.is_null()) return a.is_null() && b.is_null();
  return Compare(a, b, opts) == 0;
}

// Numbers of every type share one key form so that 1, 1.00 and 1e0 group together: whole
// values as integers, others as the shortest text of their double.
std::string GroupKey(const Value& v) {
  using namespace std::string_literals;
  // NULL's key is one zero byte, which starts no other key. (A braced {1, '\0'} would be two bytes.)
  if (v.is_null()) return "\0"s;
  switch (FamilyOf(v.type())) {
    case Family::kInt:
      return "N" + std::to_string(v.as_int());
    case Family::kExact: {
      const Decimal& d = v.as_decimal();
      Wide p = detail::Pow10Wide(d.scale);
      if (d.units % p == 0) return "N" + std::to_string(static_cast<int64_t>(d.units / p));
      return "N" + detail::ShortestDouble(detail::DecimalToDouble(d));
    }
    case Family::kFloat: {
      double f = v.as_float();
      if (f == std::trunc(f) && std::fabs(f) < 9e18) return "N" + std::to_string(static_cast<int64_t>(f));
      return "N" + detail::ShortestDouble(f);
    }
    case Family::kString:
      return "S" + CollateKey(v.as_string());
    case Family::kDate:
      return "D" + std::to_string(v.as_datetime().ms);
    case Family::kGuid:
      return "G" + v.as_string();
    case Family::kNull:
      break;
  }
  return "\0"s;
}

}  // namespace engine
