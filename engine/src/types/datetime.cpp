// datetime values: calendar arithmetic, SQL Server's 1/300 s rounding, formatting, and parsing
// of date strings under DATEFORMAT the way SQL Server reads them.
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "types/value_util.h"
#include "values.h"

namespace engine {
namespace {

using detail::kMsPerDay;
// Days from 0000-03-01 based civil count to 1900-01-01 (see DaysFromCivil).
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

const int64_t kEpoch1900 = DaysFromCivil(1900, 1, 1);

void CivilFromDays(int64_t z, int* y, int* m, int* d) {
  z += 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t yy = yoe + era * 400;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  *d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  *m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  *y = static_cast<int>(yy + (*m <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[static_cast<size_t>(m - 1)];
}

}  // namespace

namespace detail {
// Rounds a time of day in milliseconds to datetime's ticks of 1/300 s, shown as .000/.003/.007.
int64_t RoundToTicks(int64_t ms) {
  int64_t ticks = FloorDiv(ms * 3 + 5, 10);  // nearest tick, halves up
  return FloorDiv(ticks * 10 + 1, 3);
}
bool ValidDate(int y, int m, int d) {
  return y >= 1753 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= DaysInMonth(y, m);
}
int DaysInMonthOf(int y, int m) { return DaysInMonth(y, m); }

DateTime RoundToMinute(DateTime dt) {
  // smalldatetime: 29.998 seconds and less round down, 29.999 and more round up.
  return DateTime{FloorDiv(dt.ms + 30001, 60000) * 60000};
}

double DateTimeToDays(DateTime dt) { return static_cast<double>(dt.ms) / static_cast<double>(kMsPerDay); }

std::optional<DateTime> DateTimeFromDays(double days) {
  if (!(days > -53691.0 - 1 && days < 2958464.0 + 1)) return std::nullopt;
  double whole = std::floor(days);
  auto ticks = static_cast<int64_t>(std::llround((days - whole) * 25920000.0));
  DateTime dt{static_cast<int64_t>(whole) * kMsPerDay + FloorDiv(ticks * 10 + 1, 3)};
  if (!InDateTimeRange(dt, TypeId::kDateTime)) return std::nullopt;
  return dt;
}

bool InDateTimeRange(DateTime dt, TypeId id) {
  if (id == TypeId::kSmallDateTime) {
    return dt.ms >= 0 && dt.ms <= (DaysFromCivil(2079, 6, 6) - DaysFromCivil(1900, 1, 1) + 1) * kMsPerDay - 60000;
  }
  static const int64_t lo = (DaysFromCivil(1753, 1, 1) - DaysFromCivil(1900, 1, 1)) * kMsPerDay;
  static const int64_t hi = (DaysFromCivil(10000, 1, 1) - DaysFromCivil(1900, 1, 1)) * kMsPerDay;
  return dt.ms >= lo && dt.ms < hi;
}
}  // namespace detail

DateTime MakeDateTime(int year, int month, int day, int hour, int minute, int second, int ms) {
  int64_t days = DaysFromCivil(year, month, day) - kEpoch1900;
  int64_t time = ((static_cast<int64_t>(hour) * 60 + minute) * 60 + second) * 1000 + ms;
  return DateTime{days * kMsPerDay + detail::RoundToTicks(time)};
}

DateParts SplitDateTime(DateTime dt) {
  DateParts p{};
  int64_t days = FloorDiv(dt.ms, kMsPerDay);
  int64_t time = dt.ms - days * kMsPerDay;
  CivilFromDays(days + kEpoch1900, &p.year, &p.month, &p.day);
  p.hour = static_cast<int>(time / 3600000);
  p.minute = static_cast<int>(time / 60000 % 60);
  p.second = static_cast<int>(time / 1000 % 60);
  p.ms = static_cast<int>(time % 1000);
  p.weekday = static_cast<int>(((days % 7) + 7) % 7) + 1;  // 1900-01-01 was a Monday
  return p;
}

std::string FormatDateTime(DateTime dt) {
  DateParts p = SplitDateTime(dt);
  std::array<char, 40> buf{};
  std::snprintf(buf.data(), buf.size(), "%04d-%02d-%02d %02d:%02d:%02d.%03d", p.year, p.month, p.day, p.hour, p.minute,
                p.second, p.ms);
  return buf.data();
}

DateTime Now() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return MakeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                      static_cast<int>(ms));
}

// ---- Parsing --------------------------------------------------------------------------------

namespace {

struct Token {
  enum class Kind : uint8_t { kNumber, kWord, kSep } kind;
  std::string text;
};

struct TimeOfDay {
  int64_t ms = 0;
  bool present = false;
};

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int ToInt(std::string_view s) {
  int v = 0;
  for (char c : s) {
    v = v * 10 + (c - '0');
    if (v > 100000) return 100000;
  }
  return v;
}

int ExpandYear(std::string_view digits) {
  int y = ToInt(digits);
  if (digits.size() <= 2) y += y < 50 ? 2000 : 1900;
  return y;
}

// "hh:mi[:ss[.fff|:mmm]] [AM|PM]", "hh AM". nullopt when it is not a time.
std::optional<int64_t> ParseTime(std::string_view s) {
  s = detail::TrimBlanks(s);
  if (s.empty()) return std::nullopt;
  int ampm = 0;
  auto ends_with = [&](std::string_view suffix) {
    return s.size() >= suffix.size() && CollateEqual(s.substr(s.size() - suffix.size()), suffix);
  };
  if (ends_with("AM")) ampm = 1;
  if (ends_with("PM")) ampm = 2;
  if (ampm) s = detail::TrimBlanks(s.substr(0, s.size() - 2));
  std::array<int, 3> parts = {0, 0, 0};
  int n = 0;
  size_t i = 0;
  while (true) {
    size_t b = i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    if (i == b || i - b > 2) return std::nullopt;
    parts[n++] = ToInt(s.substr(b, i - b));
    if (n == 3) break;
    if (i + 1 < s.size() && s[i] == ':' && std::isdigit(static_cast<unsigned char>(s[i + 1]))) {
      ++i;
      continue;
    }
    break;
  }
  int64_t frac_ms = 0;
  if (i < s.size() && (s[i] == '.' || s[i] == ':') && n >= 2) {
    bool colon = s[i] == ':';
    size_t b = ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
    std::string_view f = s.substr(b, i - b);
    if (colon) {
      frac_ms = ToInt(f);  // "hh:mi:ss:mmm" gives milliseconds
      if (frac_ms > 999) return std::nullopt;
    } else {
      std::string digits(f.substr(0, 4));
      while (digits.size() < 4) digits += '0';
      frac_ms = (ToInt(digits) + 5) / 10;  // tenths of a millisecond, rounded
    }
  }
  if (i != s.size()) return std::nullopt;
  if (n == 1 && !ampm) return std::nullopt;
  int h = parts[0];
  if (ampm) {
    if (h > 12) return std::nullopt;
    if (h == 12) h = 0;
    if (ampm == 2) h += 12;
  }
  if (h > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  return ((static_cast<int64_t>(h) * 60 + parts[1]) * 60 + parts[2]) * 1000 + frac_ms;
}

struct DateResult {
  bool ok = false;
  bool out_of_range = false;
  int y = 1900, m = 1, d = 1;
};

DateResult Checked(int y, int m, int d) {
  DateResult r;
  r.y = y;
  r.m = m;
  r.d = d;
  r.ok = detail::ValidDate(y, m, d);
  r.out_of_range = !r.ok;
  return r;
}

// Orders three numbers of a numeric date (d.m.y, m/d/y, y-m-d ...) by the DATEFORMAT.
DateResult NumericDate(const std::array<std::string_view, 3>& n, DateFormat fmt) {
  if (n[0].size() > 4 || n[1].size() > 4 || n[2].size() > 4) return {};
  const std::array<int, 3> vals = {ToInt(n[0]), ToInt(n[1]), ToInt(n[2])};
  // A four-digit first number is the year; the others keep the format's day/month order.
  if (n[0].size() == 4) {
    bool day_first = fmt == DateFormat::kDmy || fmt == DateFormat::kYdm || fmt == DateFormat::kDym;
    return day_first ? Checked(vals[0], vals[2], vals[1]) : Checked(vals[0], vals[1], vals[2]);
  }
  int y = 0, m = 0, d = 0;
  std::string_view ytext;
  switch (fmt) {
    case DateFormat::kDmy:
      d = vals[0], m = vals[1], ytext = n[2];
      break;
    case DateFormat::kMdy:
      m = vals[0], d = vals[1], ytext = n[2];
      break;
    case DateFormat::kYmd:
      ytext = n[0], m = vals[1], d = vals[2];
      break;
    case DateFormat::kYdm:
      ytext = n[0], d = vals[1], m = vals[2];
      break;
    case DateFormat::kMyd:
      m = vals[0], ytext = n[1], d = vals[2];
      break;
    case DateFormat::kDym:
      d = vals[0], ytext = n[1], m = vals[2];
      break;
  }
  if (ytext.size() == 3) return {};
  y = ExpandYear(ytext);
  return Checked(y, m, d);
}

// "yyyymmdd" / "yymmdd": always year-month-day.
DateResult UnseparatedDate(std::string_view s) {
  if (s.size() == 8) return Checked(ToInt(s.substr(0, 4)), ToInt(s.substr(4, 2)), ToInt(s.substr(6, 2)));
  if (s.size() == 6) return Checked(ExpandYear(s.substr(0, 2)), ToInt(s.substr(2, 2)), ToInt(s.substr(4, 2)));
  return {};
}

// Alphabetic month: "20 Feb 2013", "Feb 20, 2013", "20. Februar 2013", "February 2013".
DateResult AlphaDate(std::string_view s) {
  std::vector<std::string> numbers;
  int month = 0;
  size_t i = 0;
  bool seen_month = false;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c == ' ' || c == ',' || c == '.' || c == '-' || c == '/') {
      ++i;
      continue;
    }
    size_t b = i;
    if (std::isdigit(c)) {
      while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
      numbers.emplace_back(s.substr(b, i - b));
    } else {
      while (i < s.size() && s[i] != ' ' && s[i] != ',' && s[i] != '.' && s[i] != '-' && s[i] != '/' &&
             !std::isdigit(static_cast<unsigned char>(s[i])))
        ++i;
      if (seen_month) return {};
      month = detail::MonthFromName(s.substr(b, i - b));
      if (month == 0) return {};
      seen_month = true;
    }
  }
  if (!seen_month || numbers.empty() || numbers.size() > 2) return {};
  int year = 0, day = 1;
  if (numbers.size() == 1) {
    if (numbers[0].size() != 4) return {};
    year = ToInt(numbers[0]);
  } else if (numbers[0].size() == 4) {
    year = ToInt(numbers[0]);
    day = ToInt(numbers[1]);
  } else if (numbers[1].size() == 4 || numbers[1].size() <= 2) {
    day = ToInt(numbers[0]);
    year = ExpandYear(numbers[1]);
  } else {
    return {};
  }
  return Checked(year, month, day);
}

// Splits "date time" at the first blank (or 'T') that starts a time part.
void SplitDateAndTime(std::string_view s, std::string_view* date, std::string_view* time) {
  size_t colon = s.find(':');
  if (colon == std::string_view::npos) {
    *date = s;
    *time = {};
    return;
  }
  size_t cut = s.find_last_of(" T", colon);
  if (cut == std::string_view::npos) {
    *date = {};
    *time = s;
    return;
  }
  *date = detail::TrimBlanks(s.substr(0, cut));
  *time = s.substr(cut + 1);
}

std::optional<DateTime> ParseOdbc(std::string_view s, DateFormat fmt, bool* out_of_range);

}  // namespace

std::optional<DateTime> ParseDateTime(std::string_view s, DateFormat fmt, bool* out_of_range) {
  if (out_of_range) *out_of_range = false;
  s = detail::TrimBlanks(s);
  if (s.empty()) return DateTime{0};
  if (s.front() == '{') return ParseOdbc(s, fmt, out_of_range);
  std::string_view date_text, time_text;
  SplitDateAndTime(s, &date_text, &time_text);
  int64_t time_ms = 0;
  if (!time_text.empty()) {
    auto t = ParseTime(time_text);
    if (!t) return std::nullopt;
    time_ms = *t;
  } else if (auto t = ParseTime(s); t && s.find_first_of("aApP") != std::string_view::npos) {
    return DateTime{detail::RoundToTicks(*t)};  // "8 AM"
  }
  if (date_text.empty()) return DateTime{detail::RoundToTicks(time_ms)};
  bool iso_t = s.find('T') != std::string_view::npos && s.size() > date_text.size() && s[date_text.size()] == 'T';

  DateResult r;
  if (AllDigits(date_text)) {
    r = UnseparatedDate(date_text);
  } else {
    // Numeric with one kind of separator: 20.02.2013, 20/02/13, 2013-02-20.
    std::array<std::string_view, 3> parts;
    int n = 0;
    size_t b = 0;
    char sep = 0;
    bool numeric = true;
    for (size_t i = 0; i <= date_text.size() && numeric; ++i) {
      if (i == date_text.size() || date_text[i] == '.' || date_text[i] == '/' || date_text[i] == '-') {
        if (i < date_text.size()) {
          if (sep && date_text[i] != sep) numeric = false;
          sep = date_text[i];
        }
        if (n >= 3 || !AllDigits(date_text.substr(b, i - b))) {
          numeric = false;
          break;
        }
        parts[n++] = date_text.substr(b, i - b);
        b = i + 1;
      }
    }
    if (numeric && n == 3) {
      // The ISO form with 'T' is read year-month-day whatever the DATEFORMAT says.
      r = iso_t && parts[0].size() == 4 ? Checked(ToInt(parts[0]), ToInt(parts[1]), ToInt(parts[2]))
                                        : NumericDate(parts, fmt);
    } else if (!numeric || n != 3) {
      r = AlphaDate(date_text);
    }
  }
  if (!r.ok) {
    if (out_of_range) *out_of_range = r.out_of_range;
    return std::nullopt;
  }
  return MakeDateTime(r.y, r.m, r.d, 0, 0, 0, static_cast<int>(time_ms));
}

namespace {

// {ts 'yyyy-mm-dd hh:mi:ss[.fff]'}, {d 'yyyy-mm-dd'}, {t 'hh:mi:ss'}: always year-month-day.
std::optional<DateTime> ParseOdbc(std::string_view s, DateFormat, bool* out_of_range) {
  if (s.back() != '}') return std::nullopt;
  size_t q1 = s.find('\'');
  size_t q2 = s.rfind('\'');
  if (q1 == std::string_view::npos || q2 <= q1) return std::nullopt;
  std::string kind;
  for (char c : detail::TrimBlanks(s.substr(1, q1 - 1))) kind += static_cast<char>(std::tolower(c));
  std::string_view body = detail::TrimBlanks(s.substr(q1 + 1, q2 - q1 - 1));
  if (kind == "t") {
    auto t = ParseTime(body);
    if (!t) return std::nullopt;
    return DateTime{detail::RoundToTicks(*t)};
  }
  if (kind != "ts" && kind != "d") return std::nullopt;
  std::string_view date = body.substr(0, body.find(' '));
  std::string_view time = body.size() > date.size() ? body.substr(date.size() + 1) : std::string_view{};
  if (date.size() != 10 || date[4] != '-' || date[7] != '-') return std::nullopt;
  if (!AllDigits(date.substr(0, 4)) || !AllDigits(date.substr(5, 2)) || !AllDigits(date.substr(8, 2))) {
    return std::nullopt;
  }
  DateResult r = Checked(ToInt(date.substr(0, 4)), ToInt(date.substr(5, 2)), ToInt(date.substr(8, 2)));
  if (!r.ok) {
    if (out_of_range) *out_of_range = true;
    return std::nullopt;
  }
  int64_t ms = 0;
  if (!time.empty()) {
    auto t = ParseTime(time);
    if (!t) return std::nullopt;
    ms = *t;
  }
  return MakeDateTime(r.y, r.m, r.d, 0, 0, 0, static_cast<int>(ms));
}

}  // namespace
}  // namespace engine
