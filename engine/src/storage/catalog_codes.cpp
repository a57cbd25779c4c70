// Spelling of types and column lists in the metadata tables.
#include "storage/catalog_codes.h"

#include <array>
#include <utility>

namespace engine::storage {

namespace {

constexpr std::array<std::pair<TypeId, int>, 20> kCodes = {{
    {TypeId::kBit, 104},        {TypeId::kTinyInt, 48},  {TypeId::kSmallInt, 52},      {TypeId::kInt, 56},
    {TypeId::kBigInt, 127},     {TypeId::kDecimal, 106}, {TypeId::kNumeric, 108},      {TypeId::kMoney, 60},
    {TypeId::kSmallMoney, 122}, {TypeId::kReal, 59},     {TypeId::kFloat, 62},         {TypeId::kChar, 175},
    {TypeId::kVarChar, 167},    {TypeId::kText, 35},     {TypeId::kNChar, 239},        {TypeId::kNVarChar, 231},
    {TypeId::kNText, 99},       {TypeId::kDateTime, 61}, {TypeId::kSmallDateTime, 58}, {TypeId::kUniqueIdentifier, 36},
}};

}  // namespace

int TypeCode(TypeId id) {
  for (const auto& [type, code] : kCodes) {
    if (type == id) return code;
  }
  return 0;
}

TypeId TypeFromCode(int code) {
  for (const auto& [type, c] : kCodes) {
    if (c == code) return type;
  }
  return TypeId::kNull;
}

std::string FormatIntList(const std::vector<int>& values) {
  std::string out;
  for (size_t i = 0; i < values.size(); ++i) {
    if (i) out += ',';
    out += std::to_string(values[i]);
  }
  return out;
}

std::vector<int> ParseIntList(std::string_view text) {
  std::vector<int> out;
  int value = 0;
  bool any = false;
  bool negative = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      if (value < 100000000) value = value * 10 + (c - '0');
      any = true;
    } else if (c == '-') {
      negative = true;
    } else if (c == ',') {
      if (any) out.push_back(negative ? -value : value);
      value = 0;
      any = negative = false;
    }
  }
  if (any) out.push_back(negative ? -value : value);
  return out;
}

}  // namespace engine::storage
