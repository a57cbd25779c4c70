// Facts about the built-in types as the system views report them (systypes xtype codes, byte
// lengths, precisions). Shared by every family of system views, which must report the same
// lengths and precisions for one column.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace engine::sysviews {

inline constexpr int kCollationId = 872468488;  // Latin1_General_CI_AS
inline constexpr const char* kCollation = "Latin1_General_CI_AS";

struct TypeFacts {
  int xtype = 0;
  int bytes = 0;                 // syscolumns.length / max_length (-1 for max)
  std::optional<int> precision;  // numeric precision (INFORMATION_SCHEMA rules apply on top)
  std::optional<int> scale;
};
TypeFacts Facts(const SqlType& t);

struct BuiltinType {
  std::string name;
  int xtype, xusertype, length, xprec, xscale, prec;
  bool variable, is_string, has_scale;
};
const std::vector<BuiltinType>& BuiltinTypes();

}  // namespace engine::sysviews
