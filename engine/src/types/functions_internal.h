// Scalar function handlers of the value layer, one family per file; functions.cpp dispatches.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "values.h"

namespace engine::fn {

using Args = std::span<const Value>;

// Text of an argument for the string functions (numbers and dates as CAST to varchar shows them).
std::string ArgText(const Value& v);
// Integer argument (converted as an implicit conversion would); nullopt for NULL.
std::optional<int64_t> ArgInt(const Value& v, const ConvertOptions& opts);
// Result type of a string function applied to `t`: the string type itself, varchar otherwise.
SqlType StringResultType(const SqlType& t);

// functions_string.cpp
Value Upper(Args a, const ConvertOptions& o);
Value Lower(Args a, const ConvertOptions& o);
Value Len(Args a, const ConvertOptions& o);
Value DataLength(Args a, const ConvertOptions& o);
Value Left(Args a, const ConvertOptions& o);
Value Right(Args a, const ConvertOptions& o);
Value Substring(Args a, const ConvertOptions& o);
Value LTrim(Args a, const ConvertOptions& o);
Value RTrim(Args a, const ConvertOptions& o);
Value Replace(Args a, const ConvertOptions& o);
Value CharIndex(Args a, const ConvertOptions& o);
Value Replicate(Args a, const ConvertOptions& o);
Value Space(Args a, const ConvertOptions& o);
Value Reverse(Args a, const ConvertOptions& o);
Value Str(Args a, const ConvertOptions& o);
Value Ascii(Args a, const ConvertOptions& o);
Value Char(Args a, const ConvertOptions& o);
Value NChar(Args a, const ConvertOptions& o);
Value Unicode(Args a, const ConvertOptions& o);
Value Concat(Args a, const ConvertOptions& o);

// functions_date.cpp
Value DateAdd(Args a, const ConvertOptions& o);
Value DateDiff(Args a, const ConvertOptions& o);
Value DatePart(Args a, const ConvertOptions& o);
Value DateName(Args a, const ConvertOptions& o);
Value Year(Args a, const ConvertOptions& o);
Value Month(Args a, const ConvertOptions& o);
Value Day(Args a, const ConvertOptions& o);
Value GetDate(Args a, const ConvertOptions& o);

// functions_math.cpp
Value Abs(Args a, const ConvertOptions& o);
Value Round(Args a, const ConvertOptions& o);
Value Floor(Args a, const ConvertOptions& o);
Value Ceiling(Args a, const ConvertOptions& o);
Value Sign(Args a, const ConvertOptions& o);
Value Power(Args a, const ConvertOptions& o);
Value Sqrt(Args a, const ConvertOptions& o);
Value Square(Args a, const ConvertOptions& o);
Value NewId(Args a, const ConvertOptions& o);
Value IsNumeric(Args a, const ConvertOptions& o);

}  // namespace engine::fn
