// Exact decimals on 64-bit units: formatting, parsing, rescaling and rounding as SQL Server
// rounds (half away from zero).
#include <cmath>
#include <string>

#include "types/value_util.h"
#include "values.h"

namespace engine {
namespace detail {

Wide Pow10Wide(int n) {
  Wide r = 1;
  for (int i = 0; i < n && i < 38; ++i) r *= 10;
  return r;
}

Wide DivRound(Wide v, Wide divisor) {
  Wide q = v / divisor;
  Wide rem = v % divisor;
  if (rem < 0) rem = -rem;
  if (rem * 2 >= divisor) q += (v < 0) ? -1 : 1;
  return q;
}

std::optional<int64_t> Narrow(Wide v) {
  if (v > static_cast<Wide>(INT64_MAX) || v < static_cast<Wide>(INT64_MIN)) return std::nullopt;
  return static_cast<int64_t>(v);
}

std::optional<Decimal> Rescale(const Decimal& d, int scale) {
  if (scale < 0) scale = 0;
  if (scale == d.scale) return d;
  Wide u = d.units;
  if (scale > d.scale) {
    int up = scale - d.scale;
    if (up > 36) return std::nullopt;
    u *= Pow10Wide(up);
  } else {
    u = DivRound(u, Pow10Wide(d.scale - scale));
  }
  auto n = Narrow(u);
  if (!n) return std::nullopt;
  return Decimal{*n, static_cast<uint8_t>(scale)};
}

int DigitCount(Wide v) {
  if (v < 0) v = -v;
  int n = 1;
  while (v >= 10) {
    v /= 10;
    ++n;
  }
  return n;
}

bool FitsPrecision(const Decimal& d, int precision) {
  Wide integral = static_cast<Wide>(d.units) / Pow10Wide(d.scale);
  if (integral == 0) return true;
  return DigitCount(integral) <= precision - d.scale;
}

int CompareDecimal(const Decimal& a, const Decimal& b) {
  Wide x = a.units;
  Wide y = b.units;
  if (a.scale < b.scale) x *= Pow10Wide(b.scale - a.scale);
  if (b.scale < a.scale) y *= Pow10Wide(a.scale - b.scale);
  return x < y ? -1 : (x > y ? 1 : 0);
}

double DecimalToDouble(const Decimal& d) {
  return static_cast<double>(d.units) / static_cast<double>(Pow10Wide(d.scale));
}

std::optional<Decimal> DecimalFromDouble(double v, int scale) {
  if (!std::isfinite(v)) return std::nullopt;
  long double scaled = std::round(static_cast<long double>(v) * static_cast<long double>(Pow10Wide(scale)));
  if (std::fabs(scaled) >= 9.2e18L) return std::nullopt;
  return Decimal{static_cast<int64_t>(scaled), static_cast<uint8_t>(scale)};
}

ParseStatus ParseIntegerText(std::string_view s, int64_t* out) {
  s = TrimBlanks(s);
  *out = 0;
  if (s.empty()) return ParseStatus::kOk;
  bool neg = false;
  size_t i = 0;
  if (s[0] == '+' || s[0] == '-') {
    neg = s[0] == '-';
    ++i;
  }
  if (i == s.size()) return ParseStatus::kSyntax;
  Wide v = 0;
  bool overflow = false;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return ParseStatus::kSyntax;
    v = v * 10 + (s[i] - '0');
    if (v > static_cast<Wide>(INT64_MAX) + 1) {
      overflow = true;
      v = 0;
    }
  }
  if (overflow) return ParseStatus::kOverflow;
  if (neg) v = -v;
  auto n = Narrow(v);
  if (!n) return ParseStatus::kOverflow;
  *out = *n;
  return ParseStatus::kOk;
}

ParseStatus ParseDecimalText(std::string_view s, Decimal* out) {
  s = TrimBlanks(s);
  if (s.empty()) return ParseStatus::kSyntax;
  size_t i = 0;
  bool neg = false;
  if (s[0] == '+' || s[0] == '-') {
    neg = s[0] == '-';
    ++i;
  }
  Wide units = 0;
  int scale = 0;
  int digits = 0;
  bool point = false;
  bool any_digit = false;
  bool rounded = false;
  for (; i < s.size(); ++i) {
    char c = s[i];
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return ParseStatus::kSyntax;
    any_digit = true;
    if (digits == 0 && c == '0' && !point) continue;  // leading zeros
    if (point && (digits >= 18 || scale >= 18)) {
      // Further fraction digits only decide the rounding of the last kept digit.
      if (!rounded && c >= '5') units += 1;
      rounded = true;
      continue;
    }
    if (!point && digits >= 18) return ParseStatus::kOverflow;
    units = units * 10 + (c - '0');
    if (units != 0 || point) ++digits;
    if (point) ++scale;
  }
  if (!any_digit) return ParseStatus::kSyntax;
  auto n = Narrow(neg ? -units : units);
  if (!n) return ParseStatus::kOverflow;
  *out = Decimal{*n, static_cast<uint8_t>(scale)};
  return ParseStatus::kOk;
}

ParseStatus ParseFloatText(std::string_view s, double* out) {
  s = TrimBlanks(s);
  *out = 0;
  if (s.empty()) return ParseStatus::kOk;
  // Validate the shape ourselves: strtod would also take "inf", "nan" and hex floats.
  size_t i = 0;
  if (s[i] == '+' || s[i] == '-') ++i;
  size_t mantissa = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++mantissa;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++mantissa;
  }
  if (mantissa == 0) return ParseStatus::kSyntax;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t exp_digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i, ++exp_digits;
    if (exp_digits == 0) return ParseStatus::kSyntax;
  }
  if (i != s.size()) return ParseStatus::kSyntax;
  std::string copy(s);
  double v = std::strtod(copy.c_str(), nullptr);
  if (!std::isfinite(v)) return ParseStatus::kOverflow;
  *out = v;
  return ParseStatus::kOk;
}

}  // namespace detail

std::string FormatDecimal(const Decimal& d) {
  bool neg = d.units < 0;
  detail::Wide u = d.units;
  if (neg) u = -u;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
    u /= 10;
  } while (u != 0);
  if (d.scale > 0) {
    if (digits.size() <= d.scale) digits.insert(0, d.scale - digits.size() + 1, '0');
    digits.insert(digits.size() - d.scale, 1, '.');
  }
  return neg ? "-" + digits : digits;
}

}  // namespace engine
