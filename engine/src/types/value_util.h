// Helpers shared by the files of engine/src/types: exact decimal arithmetic on 64-bit units,
// number <-> text conversions in SQL Server's formats, and small UTF-8 and type utilities.
// Internal to the value layer; executors use values.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/engine.h"
#include "values.h"

namespace engine::detail {

// 128-bit intermediates keep + - * exact before the result is checked against 64 bits.
using Wide = __int128;

// 10^n for 0 <= n <= 38 as a 128-bit value (10^38 still fits).
Wide Pow10Wide(int n);
inline int64_t Pow10(int n) { return static_cast<int64_t>(Pow10Wide(n)); }  // n <= 18

// Divides by 10^drop rounding half away from zero (SQL Server's rounding of decimals).
Wide DivRound(Wide v, Wide divisor);
// Narrows a wide value to 64 bits; nullopt when it does not fit.
std::optional<int64_t> Narrow(Wide v);
// Changes the scale of a decimal, rounding half away from zero when scale goes down;
// nullopt on overflow of the 64-bit units.
std::optional<Decimal> Rescale(const Decimal& d, int scale);
// True when |units| has at most `precision - scale` integral digits.
bool FitsPrecision(const Decimal& d, int precision);
int CompareDecimal(const Decimal& a, const Decimal& b);
double DecimalToDouble(const Decimal& d);
// Rounds a double to `scale` digits; nullopt when it does not fit 64-bit units.
std::optional<Decimal> DecimalFromDouble(double v, int scale);
// Number of decimal digits of |v| (0 has 1).
int DigitCount(Wide v);

// Parse outcome of a numeric string; kOverflow when the text is a number that does not fit.
enum class ParseStatus : uint8_t { kOk, kSyntax, kOverflow };
// Integer text as the int conversions read it: blanks around, optional sign, digits only.
// Empty text (after trimming) is 0.
ParseStatus ParseIntegerText(std::string_view s, int64_t* out);
// Decimal text: blanks, sign, digits with an optional point; no exponent. Keeps all fraction
// digits up to 18 significant digits (more fraction digits are rounded away).
ParseStatus ParseDecimalText(std::string_view s, Decimal* out);
// Float text: blanks, sign, digits, point, exponent. Empty text is 0.
ParseStatus ParseFloatText(std::string_view s, double* out);

// Shortest text that reads back as the same double ("1.5", "100", "0.1", "1e+20").
std::string ShortestDouble(double v);
std::string ShortestFloat(float v);
// CAST(float AS varchar): six significant digits, three-digit exponent ("1e+020").
std::string FloatToStyle0(double v);

std::string_view TrimBlanks(std::string_view s);
std::string_view TrimRightBlanks(std::string_view s);
// Decodes one UTF-8 code point at s[i], advancing i; invalid bytes decode as themselves.
char32_t DecodeUtf8(std::string_view s, size_t& i);
void AppendUtf8(std::string& out, char32_t c);

// Range of the integer types; bit is 0..1.
int64_t IntTypeMin(TypeId id);
int64_t IntTypeMax(TypeId id);
// Precision used when an integer meets a decimal (int -> decimal(10,0)).
int IntTypePrecision(TypeId id);
bool IsMoney(TypeId id);
bool IsDecimalType(TypeId id);  // decimal, numeric
SqlType MakeType(TypeId id, int32_t length = 0, uint8_t precision = 0, uint8_t scale = 0);
SqlType DecimalType(int precision, int scale);  // caps at 38 keeping integral digits first
// Type as an exact decimal (integers and money included), for mixed decimal arithmetic.
SqlType AsDecimalType(const SqlType& t);
// The value's number as a decimal (integers, bit, decimal, money).
Decimal ToDecimal(const Value& v);

// Guid text normalised to upper case "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX"; nullopt if invalid.
std::optional<std::string> NormalizeGuid(std::string_view s);

// German month and weekday names (DATENAME, parsing, style 0 output).
std::string_view MonthName(int month);       // "Januar"
std::string_view MonthShortName(int month);  // "Jan", "Mär"
std::string_view WeekdayName(int weekday);   // 1 = "Montag"
// Month number of an English or German month name or abbreviation; 0 if none.
int MonthFromName(std::string_view name);

// datetime internals (datetime.cpp).
constexpr int64_t kMsPerDay = 86400000;
int64_t RoundToTicks(int64_t ms);  // to datetime's 1/300 s steps (.000/.003/.007)
bool ValidDate(int y, int m, int d);
int DaysInMonthOf(int y, int m);
// datetime -> smalldatetime: rounds to the minute.
DateTime RoundToMinute(DateTime dt);
// Days since 1900-01-01 with the time as fraction (CAST(datetime AS float)).
double DateTimeToDays(DateTime dt);
// 1900-01-01 plus `days`, time rounded to 1/300 s; nullopt outside 1753..9999.
std::optional<DateTime> DateTimeFromDays(double days);
bool InDateTimeRange(DateTime dt, TypeId id);

// Converts a value to its text for string targets (before length rules are applied).
std::string ValueText(const Value& v, bool explicit_cast);

}  // namespace engine::detail

namespace engine::detail {
// Case folding of one code point under the collation (accents kept): 'Ä' -> 'ä'.
char32_t FoldCase(char32_t c);
}  // namespace engine::detail
