// Date functions: DATEADD, DATEDIFF (boundaries crossed), DATEPART with DATEFIRST 1 (German:
// Monday is day 1), DATENAME in German, YEAR/MONTH/DAY and GETDATE.
#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

#include "errors.h"
#include "types/functions_internal.h"
#include "types/value_util.h"
#include "values.h"

namespace engine::fn {
namespace {

using detail::kMsPerDay;
using detail::MakeType;

enum class Part : uint8_t {
  kYear,
  kQuarter,
  kMonth,
  kDayOfYear,
  kDay,
  kWeek,
  kWeekday,
  kHour,
  kMinute,
  kSecond,
  kMillisecond,
  kIsoWeek
};

struct PartName {
  std::string_view name;
  Part part;
};

constexpr auto kPartNames = std::to_array<PartName>({
    {"year", Part::kYear},       {"yy", Part::kYear},
    {"yyyy", Part::kYear},       {"quarter", Part::kQuarter},
    {"qq", Part::kQuarter},      {"q", Part::kQuarter},
    {"month", Part::kMonth},     {"mm", Part::kMonth},
    {"m", Part::kMonth},         {"dayofyear", Part::kDayOfYear},
    {"dy", Part::kDayOfYear},    {"y", Part::kDayOfYear},
    {"day", Part::kDay},         {"dd", Part::kDay},
    {"d", Part::kDay},           {"week", Part::kWeek},
    {"wk", Part::kWeek},         {"ww", Part::kWeek},
    {"weekday", Part::kWeekday}, {"dw", Part::kWeekday},
    {"w", Part::kWeekday},       {"hour", Part::kHour},
    {"hh", Part::kHour},         {"minute", Part::kMinute},
    {"mi", Part::kMinute},       {"n", Part::kMinute},
    {"second", Part::kSecond},   {"ss", Part::kSecond},
    {"s", Part::kSecond},        {"millisecond", Part::kMillisecond},
    {"ms", Part::kMillisecond},  {"iso_week", Part::kIsoWeek},
    {"isowk", Part::kIsoWeek},   {"isoww", Part::kIsoWeek},
});

Part ParsePart(const Value& v, std::string_view function) {
  std::string name = v.is_null() ? std::string("NULL") : ArgText(v);
  std::string_view trimmed = detail::TrimBlanks(name);
  for (const PartName& p : kPartNames) {
    if (CollateEqual(trimmed, p.name)) return p.part;
  }
  throw err::InvalidDatePart(trimmed, function);
}

std::optional<DateTime> DateArg(const Value& v, const ConvertOptions& o) {
  if (v.is_null()) return std::nullopt;
  if (v.type().IsDateTime()) return v.as_datetime();
  Value d = Convert(v, MakeType(TypeId::kDateTime), o, ConvertMode::kImplicit);
  if (d.is_null()) return std::nullopt;
  return d.as_datetime();
}

int64_t FloorDiv(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

DateTime AddMonths(DateTime dt, int64_t months) {
  DateParts p = SplitDateTime(dt);
  int64_t total = static_cast<int64_t>(p.year) * 12 + (p.month - 1) + months;
  if (total < int64_t{1753} * 12 || total >= int64_t{10000} * 12) throw err::DateAddOverflow();
  int y = static_cast<int>(total / 12);
  int m = static_cast<int>(total % 12) + 1;
  int d = std::min(p.day, detail::DaysInMonthOf(y, m));
  int64_t time = dt.ms - FloorDiv(dt.ms, kMsPerDay) * kMsPerDay;
  return DateTime{MakeDateTime(y, m, d).ms + time};
}

// Week number with weeks starting on Monday (DATEFIRST 1); week 1 holds January 1.
int WeekOfYear(const DateParts& p) {
  DateParts jan1 = SplitDateTime(MakeDateTime(p.year, 1, 1));
  int doy = static_cast<int>((MakeDateTime(p.year, p.month, p.day).ms - MakeDateTime(p.year, 1, 1).ms) / kMsPerDay);
  return (doy + jan1.weekday - 1) / 7 + 1;
}

int IsoWeek(DateTime dt) {
  DateParts p = SplitDateTime(dt);
  // The week belongs to the year of its Thursday.
  int64_t day = FloorDiv(dt.ms, kMsPerDay);
  int64_t thursday = day - (p.weekday - 1) + 3;
  DateParts t = SplitDateTime(DateTime{thursday * kMsPerDay});
  int64_t jan1 = FloorDiv(MakeDateTime(t.year, 1, 1).ms, kMsPerDay);
  return static_cast<int>((thursday - jan1) / 7 + 1);
}

int64_t PartValue(Part part, DateTime dt) {
  DateParts p = SplitDateTime(dt);
  switch (part) {
    case Part::kYear:
      return p.year;
    case Part::kQuarter:
      return (p.month - 1) / 3 + 1;
    case Part::kMonth:
      return p.month;
    case Part::kDayOfYear:
      return (MakeDateTime(p.year, p.month, p.day).ms - MakeDateTime(p.year, 1, 1).ms) / kMsPerDay + 1;
    case Part::kDay:
      return p.day;
    case Part::kWeek:
      return WeekOfYear(p);
    case Part::kWeekday:
      return p.weekday;
    case Part::kHour:
      return p.hour;
    case Part::kMinute:
      return p.minute;
    case Part::kSecond:
      return p.second;
    case Part::kMillisecond:
      return p.ms;
    case Part::kIsoWeek:
      return IsoWeek(dt);
  }
  return 0;
}

// Count of `part` boundaries from the epoch, for DATEDIFF.
int64_t Boundaries(Part part, DateTime dt) {
  DateParts p = SplitDateTime(dt);
  int64_t day = FloorDiv(dt.ms, kMsPerDay);
  switch (part) {
    case Part::kYear:
      return p.year;
    case Part::kQuarter:
      return static_cast<int64_t>(p.year) * 4 + (p.month - 1) / 3;
    case Part::kMonth:
      return static_cast<int64_t>(p.year) * 12 + p.month - 1;
    case Part::kDayOfYear:
    case Part::kDay:
    case Part::kWeekday:
      return day;
    case Part::kWeek:
      return FloorDiv(day + 1, 7);  // DATEDIFF weeks always start on Sunday
    case Part::kIsoWeek:
      return FloorDiv(day, 7);
    case Part::kHour:
      return FloorDiv(dt.ms, 3600000);
    case Part::kMinute:
      return FloorDiv(dt.ms, 60000);
    case Part::kSecond:
      return FloorDiv(dt.ms, 1000);
    case Part::kMillisecond:
      return dt.ms;
  }
  return 0;
}

}  // namespace

// DATEADD(part, n, d): datetime when d is a string or number, else d's own type.
Value DateAdd(Args a, const ConvertOptions& o) {
  Part part = ParsePart(a[0], "dateadd");
  TypeId id = a[2].type().id == TypeId::kSmallDateTime ? TypeId::kSmallDateTime : TypeId::kDateTime;
  auto n = ArgInt(a[1], o);
  auto d = DateArg(a[2], o);
  if (!n || !d) return Value::Null(MakeType(id));
  if (*n > INT32_MAX || *n < INT32_MIN) throw err::ArithmeticOverflow("int");
  int64_t ms = d->ms;
  int64_t add = 0;
  switch (part) {
    case Part::kYear:
      return Value::Date(AddMonths(*d, *n * 12), id);
    case Part::kQuarter:
      return Value::Date(AddMonths(*d, *n * 3), id);
    case Part::kMonth:
      return Value::Date(AddMonths(*d, *n), id);
    case Part::kDayOfYear:
    case Part::kDay:
    case Part::kWeekday:
      add = *n * kMsPerDay;
      break;
    case Part::kWeek:
    case Part::kIsoWeek:
      add = *n * 7 * kMsPerDay;
      break;
    case Part::kHour:
      add = *n * 3600000;
      break;
    case Part::kMinute:
      add = *n * 60000;
      break;
    case Part::kSecond:
      add = *n * 1000;
      break;
    case Part::kMillisecond:
      add = *n;
      break;
  }
  DateTime r{ms + add};
  if (part == Part::kMillisecond) {
    int64_t day = FloorDiv(r.ms, kMsPerDay) * kMsPerDay;
    r = DateTime{day + detail::RoundToTicks(r.ms - day)};
  }
  if (id == TypeId::kSmallDateTime) r = detail::RoundToMinute(r);
  if (!detail::InDateTimeRange(r, id)) throw err::DateAddOverflow();
  return Value::Date(r, id);
}

Value DateDiff(Args a, const ConvertOptions& o) {
  Part part = ParsePart(a[0], "datediff");
  auto x = DateArg(a[1], o);
  auto y = DateArg(a[2], o);
  if (!x || !y) return Value::Null(MakeType(TypeId::kInt));
  int64_t diff = Boundaries(part, *y) - Boundaries(part, *x);
  if (diff < INT32_MIN || diff > INT32_MAX) throw err::DateDiffOverflow();
  return Value::Int(diff);
}

Value DatePart(Args a, const ConvertOptions& o) {
  Part part = ParsePart(a[0], "datepart");
  auto d = DateArg(a[1], o);
  if (!d) return Value::Null(MakeType(TypeId::kInt));
  return Value::Int(PartValue(part, *d));
}

Value DateName(Args a, const ConvertOptions& o) {
  Part part = ParsePart(a[0], "datename");
  SqlType t = MakeType(TypeId::kNVarChar, 30);
  auto d = DateArg(a[1], o);
  if (!d) return Value::Null(t);
  DateParts p = SplitDateTime(*d);
  if (part == Part::kMonth) return Value::String(std::string(detail::MonthName(p.month)), t);
  if (part == Part::kWeekday) return Value::String(std::string(detail::WeekdayName(p.weekday)), t);
  return Value::String(std::to_string(PartValue(part, *d)), t);
}

Value Year(Args a, const ConvertOptions& o) {
  auto d = DateArg(a[0], o);
  if (!d) return Value::Null(MakeType(TypeId::kInt));
  return Value::Int(SplitDateTime(*d).year);
}

Value Month(Args a, const ConvertOptions& o) {
  auto d = DateArg(a[0], o);
  if (!d) return Value::Null(MakeType(TypeId::kInt));
  return Value::Int(SplitDateTime(*d).month);
}

Value Day(Args a, const ConvertOptions& o) {
  auto d = DateArg(a[0], o);
  if (!d) return Value::Null(MakeType(TypeId::kInt));
  return Value::Int(SplitDateTime(*d).day);
}

Value GetDate(Args, const ConvertOptions&) { return Value::Date(Now()); }

}  // namespace engine::fn
