// Values, types, the Latin1_General_CI_AS collation, conversions and operators with SQL
// Server's semantics. Everything here is pure (no catalog, no storage); errors are SqlError
// from errors.h (245, 241, 242, 8114, 8115, 220, 8134, 8152, 536, 537, 8117, 402, 206).
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace engine {

enum class DateFormat : uint8_t { kDmy, kMdy, kYmd, kYdm, kMyd, kDym };

// A type as written: CAST(x AS varchar(40)), column definitions, CONVERT.
struct TypeSpec {
  std::string name;     // as written, e.g. "VARCHAR", "numeric", "Int"
  int32_t length = -2;  // -2: not given, -1: max, else the number
  int32_t precision = -1;
  int32_t scale = -1;
  size_t pos = 0;
};

// Operators of binary expressions; the arithmetic and bitwise ones are evaluated by Arithmetic.
enum class BinaryOp : uint8_t {
  kAdd,
  kSub,
  kMul,
  kDiv,
  kMod,
  kEq,
  kNe,
  kLt,
  kLe,
  kGt,
  kGe,  // `!=` is kNe, `!<` is kGe, `!>` is kLe
  kAnd,
  kOr,
  kBitAnd,
  kBitOr,
  kBitXor,
};

// Session settings that decide conversions.
struct ConvertOptions {
  bool ansi_warnings = true;  // OFF: truncation on assignment is silent, overflow gives NULL
  DateFormat dateformat = DateFormat::kDmy;
};

// ---- Collation (Latin1_General_CI_AS) -------------------------------------------------------
// Case-insensitive, accent-sensitive, trailing blanks ignored, 'ß' = 'ss'. Strings are UTF-8.
int CollateCompare(std::string_view a, std::string_view b);
inline bool CollateEqual(std::string_view a, std::string_view b) { return CollateCompare(a, b) == 0; }
// A key with: CollateKey(a) == CollateKey(b) exactly when CollateEqual(a, b).
std::string CollateKey(std::string_view s);
std::string UpperCase(std::string_view s);  // collation rules: 'ä' -> 'Ä', 'ß' unchanged
std::string LowerCase(std::string_view s);
std::string AsciiUpper(std::string_view s);  // a-z only: keywords, option and procedure names
// LIKE with %, _, [a-f], [^...] and an optional escape character. Trailing blanks of the value
// are ignored unless `unicode` (an operand is nchar/nvarchar); the pattern's blanks count.
bool Like(std::string_view value, std::string_view pattern, std::optional<char32_t> escape, bool unicode);
size_t Utf8Length(std::string_view s);  // characters
std::string Utf8Substr(std::string_view s, size_t start_char, size_t count_chars);
// Replaces characters outside Windows-1252 as a varchar conversion does ('?' or best fit).
std::string ToCodePage1252(std::string_view s);

// ---- Types ----------------------------------------------------------------------------------
// Resolves a written type (case-insensitive name; "integer" = int, "dec" = decimal, "sysname"
// = nvarchar(128), "double precision" = float). CAST without length: (n)varchar/(n)char get
// `default_length` (30 in CAST/CONVERT, 1 in DDL). decimal without precision: (18,0).
// Throws 2715 for an unknown name.
SqlType ResolveType(const TypeSpec& spec, int32_t default_length);
// The type of a numeric literal as written ("12" int, "12.50" numeric(4,2), "1e2" float,
// "2147483648" numeric(10,0)) and its value.
Value NumericLiteral(std::string_view text);
// Result type of CASE / UNION / ISNULL-like combination: the higher precedence wins.
SqlType CommonType(const SqlType& a, const SqlType& b);

// ---- Conversion -----------------------------------------------------------------------------
enum class ConvertMode : uint8_t {
  kImplicit,  // inside an expression (comparison, arithmetic)
  kExplicit,  // CAST / CONVERT: strings are cut to the target length silently; int to a too
              // short string gives '*'
  kAssign,    // storing into a column or variable of the target type: too long strings raise
              // 8152 unless the excess is blanks (or ANSI_WARNINGS is OFF: cut silently)
};
Value Convert(const Value& v, const SqlType& to, const ConvertOptions& opts, ConvertMode mode);
// CONVERT with a style (datetime <-> string styles 0/100, 101, 103, 104, 108, 112, 120, 121).
Value ConvertWithStyle(const Value& v, const SqlType& to, int style, const ConvertOptions& opts);

// ---- Comparison and operators -------------------------------------------------------------
// Three-way comparison after converting to the type of higher precedence; nullopt when either
// side is NULL. Strings compare under the collation.
std::optional<int> Compare(const Value& a, const Value& b, const ConvertOptions& opts);
// Equality for GROUP BY / DISTINCT / hashing: NULLs are equal to each other.
bool GroupEqual(const Value& a, const Value& b, const ConvertOptions& opts);
// A key string such that equal keys <=> GroupEqual (for hash joins and grouping); values are
// first converted to `as` (the common type of the compared columns).
std::string GroupKey(const Value& v);

// + - * / % & | ^ with SQL Server's rules: string + string concatenates (NULL yields NULL),
// datetime + number adds days, datetime + datetime adds the offset from 1900-01-01, int / int
// truncates, overflow 8115, divide by zero 8134, 'abc' + 1 raises 245.
Value Arithmetic(BinaryOp op, const Value& a, const Value& b, const ConvertOptions& opts);
Value Negate(const Value& v);     // unary minus (8117 on strings)
Value UnaryPlus(const Value& v);  // accepted on strings and numbers alike
Value BitNot(const Value& v);
// Truth of a value used as a condition is decided by the caller; comparisons yield
// std::optional<bool> through Compare.

// ---- Scalar functions -----------------------------------------------------------------------
// Functions that need no catalog or session: ISNULL, COALESCE, NULLIF, UPPER, LOWER, LEN,
// DATALENGTH, LEFT, RIGHT, SUBSTRING, LTRIM, RTRIM, REPLACE, CHARINDEX, REPLICATE, SPACE, STR,
// DATEADD, DATEDIFF, DATEPART, DATENAME, YEAR, MONTH, DAY, GETDATE, ABS, ROUND, FLOOR,
// CEILING, SIGN, POWER, SQRT, NEWID, ASCII, CHAR, NCHAR, UNICODE. Date-part arguments are
// passed as varchar values holding the part's name ("dd", "mi", "hh", ...).
bool IsScalarFunction(std::string_view upper_name);
// Throws 174 for a wrong argument count, and the conversion errors above.
Value CallScalar(std::string_view upper_name, std::span<const Value> args, const ConvertOptions& opts);

// ---- datetime -------------------------------------------------------------------------------
// Parses a string as SQL Server does for datetime under `fmt`: "20.02.2013", "2013-02-20"
// (ydm under dmy!), "20130220 10:00", "8:30", "2013-02-20T10:00:00", "{ts '...'}", month
// names in English and German. nullopt: not a date (241); out-of-range parts give 242 via
// the caller. `out_of_range` is set when the text had a date shape but invalid numbers.
std::optional<DateTime> ParseDateTime(std::string_view s, DateFormat fmt, bool* out_of_range = nullptr);
std::string FormatDateTime(DateTime dt);  // "2013-02-20 09:05:00.000"
DateTime MakeDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int ms = 0);
struct DateParts {
  int year, month, day, hour, minute, second, ms, weekday;  // weekday 1 = Monday .. 7 = Sunday
};
DateParts SplitDateTime(DateTime dt);
DateTime Now();  // GETDATE()

// ---- decimal --------------------------------------------------------------------------------
std::string FormatDecimal(const Decimal& d);  // "1190.00", "-0.50"

}  // namespace engine
