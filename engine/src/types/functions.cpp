// Scalar functions that need neither catalog nor session: the dispatch table, argument
// helpers and the NULL-handling functions (ISNULL, COALESCE, NULLIF).
#include <array>
#include <string>

#include "errors.h"
#include "types/functions_internal.h"
#include "types/value_util.h"
#include "values.h"

namespace engine {
namespace fn {

std::string ArgText(const Value& v) {
  if (v.type().IsString() || v.type().id == TypeId::kUniqueIdentifier) return v.as_string();
  return detail::ValueText(v, false);
}

std::optional<int64_t> ArgInt(const Value& v, const ConvertOptions& opts) {
  if (v.is_null()) return std::nullopt;
  if (v.type().IsInteger()) return v.as_int();
  Value i = Convert(v, detail::MakeType(TypeId::kBigInt), opts, ConvertMode::kImplicit);
  if (i.is_null()) return std::nullopt;
  return i.as_int();
}

SqlType StringResultType(const SqlType& t) {
  switch (t.id) {
    case TypeId::kChar:
      return detail::MakeType(TypeId::kVarChar, t.length);
    case TypeId::kNChar:
      return detail::MakeType(TypeId::kNVarChar, t.length);
    case TypeId::kVarChar:
    case TypeId::kNVarChar:
      return t;
    case TypeId::kText:
      return detail::MakeType(TypeId::kVarChar, -1);
    case TypeId::kNText:
      return detail::MakeType(TypeId::kNVarChar, -1);
    default:
      return detail::MakeType(TypeId::kVarChar, 30);
  }
}

namespace {

// ISNULL(a, b): typed as a; b is converted (and cut) to a's type.
Value IsNull(Args a, const ConvertOptions& opts) {
  const SqlType& t = a[0].type().id == TypeId::kNull ? a[1].type() : a[0].type();
  if (!a[0].is_null()) return a[0];
  return Convert(a[1], t, opts, ConvertMode::kExplicit);
}

// COALESCE: the common type of all arguments, the first that is not NULL.
Value Coalesce(Args a, const ConvertOptions& opts) {
  SqlType t = a[0].type();
  for (size_t i = 1; i < a.size(); ++i) t = CommonType(t, a[i].type());
  for (const Value& v : a) {
    if (!v.is_null()) return Convert(v, t, opts, ConvertMode::kImplicit);
  }
  return Value::Null(t);
}

Value NullIf(Args a, const ConvertOptions& opts) {
  auto c = Compare(a[0], a[1], opts);
  if (c && *c == 0) return Value::Null(a[0].type());
  return a[0];
}

using Handler = Value (*)(Args, const ConvertOptions&);

struct FunctionDef {
  std::string_view name;
  int min_args;
  int max_args;
  Handler handler;
};

constexpr auto kFunctions = std::to_array<FunctionDef>({
    {"ISNULL", 2, 2, IsNull},         {"COALESCE", 2, 254, Coalesce},
    {"NULLIF", 2, 2, NullIf},         {"UPPER", 1, 1, Upper},
    {"LOWER", 1, 1, Lower},           {"LEN", 1, 1, Len},
    {"DATALENGTH", 1, 1, DataLength}, {"LEFT", 2, 2, Left},
    {"RIGHT", 2, 2, Right},           {"SUBSTRING", 3, 3, Substring},
    {"LTRIM", 1, 1, LTrim},           {"RTRIM", 1, 1, RTrim},
    {"REPLACE", 3, 3, Replace},       {"CHARINDEX", 2, 3, CharIndex},
    {"REPLICATE", 2, 2, Replicate},   {"SPACE", 1, 1, Space},
    {"REVERSE", 1, 1, Reverse},       {"STR", 1, 3, Str},
    {"ASCII", 1, 1, Ascii},           {"CHAR", 1, 1, Char},
    {"NCHAR", 1, 1, NChar},           {"UNICODE", 1, 1, Unicode},
    {"CONCAT", 2, 254, Concat},       {"DATEADD", 3, 3, DateAdd},
    {"DATEDIFF", 3, 3, DateDiff},     {"DATEPART", 2, 2, DatePart},
    {"DATENAME", 2, 2, DateName},     {"YEAR", 1, 1, Year},
    {"MONTH", 1, 1, Month},           {"DAY", 1, 1, Day},
    {"GETDATE", 0, 0, GetDate},       {"CURRENT_TIMESTAMP", 0, 0, GetDate},
    {"SYSDATETIME", 0, 0, GetDate},   {"ABS", 1, 1, Abs},
    {"ROUND", 2, 3, Round},           {"FLOOR", 1, 1, Floor},
    {"CEILING", 1, 1, Ceiling},       {"SIGN", 1, 1, Sign},
    {"POWER", 2, 2, Power},           {"SQRT", 1, 1, Sqrt},
    {"SQUARE", 1, 1, Square},         {"NEWID", 0, 0, NewId},
    {"ISNUMERIC", 1, 1, IsNumeric},
});

const FunctionDef* FindFunction(std::string_view upper_name) {
  for (const FunctionDef& f : kFunctions) {
    if (f.name == upper_name) return &f;
  }
  return nullptr;
}

}  // namespace
}  // namespace fn

bool IsScalarFunction(std::string_view upper_name) { return fn::FindFunction(upper_name) != nullptr; }

Value CallScalar(std::string_view upper_name, std::span<const Value> args, const ConvertOptions& opts) {
  const fn::FunctionDef* f = fn::FindFunction(upper_name);
  if (f == nullptr) throw err::UnknownFunction(upper_name);
  auto n = static_cast<int>(args.size());
  if (n < f->min_args || n > f->max_args) throw err::WrongArgumentCount(upper_name, f->min_args);
  return f->handler(args, opts);
}

}  // namespace engine
