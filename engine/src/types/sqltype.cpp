// SqlType: classification, precedence and the names SQL Server reports for its types.
#include <string>

#include "engine/engine.h"

namespace engine {

bool SqlType::IsString() const {
  switch (id) {
    case TypeId::kChar:
    case TypeId::kVarChar:
    case TypeId::kText:
    case TypeId::kNChar:
    case TypeId::kNVarChar:
    case TypeId::kNText:
      return true;
    default:
      return false;
  }
}

bool SqlType::IsUnicode() const { return id == TypeId::kNChar || id == TypeId::kNVarChar || id == TypeId::kNText; }

bool SqlType::IsFixedString() const { return id == TypeId::kChar || id == TypeId::kNChar; }

bool SqlType::IsInteger() const {
  return id == TypeId::kBit || id == TypeId::kTinyInt || id == TypeId::kSmallInt || id == TypeId::kInt ||
         id == TypeId::kBigInt;
}

bool SqlType::IsExactNumeric() const {
  return IsInteger() || id == TypeId::kDecimal || id == TypeId::kNumeric || id == TypeId::kMoney ||
         id == TypeId::kSmallMoney;
}

bool SqlType::IsNumeric() const { return IsExactNumeric() || id == TypeId::kReal || id == TypeId::kFloat; }

bool SqlType::IsDateTime() const { return id == TypeId::kDateTime || id == TypeId::kSmallDateTime; }

// Ranks follow SQL Server's documented order; decimal and numeric are one type there.
int SqlType::Precedence() const {
  switch (id) {
    case TypeId::kNull:
      return 0;
    case TypeId::kChar:
      return 4;
    case TypeId::kVarChar:
      return 5;
    case TypeId::kNChar:
      return 6;
    case TypeId::kNVarChar:
      return 7;
    case TypeId::kUniqueIdentifier:
      return 8;
    case TypeId::kText:
      return 9;
    case TypeId::kNText:
      return 10;
    case TypeId::kBit:
      return 11;
    case TypeId::kTinyInt:
      return 12;
    case TypeId::kSmallInt:
      return 13;
    case TypeId::kInt:
      return 14;
    case TypeId::kBigInt:
      return 15;
    case TypeId::kSmallMoney:
      return 16;
    case TypeId::kMoney:
      return 17;
    case TypeId::kDecimal:
    case TypeId::kNumeric:
      return 18;
    case TypeId::kReal:
      return 19;
    case TypeId::kFloat:
      return 20;
    case TypeId::kSmallDateTime:
      return 21;
    case TypeId::kDateTime:
      return 22;
  }
  return 0;
}

std::string SqlType::Name() const {
  switch (id) {
    case TypeId::kNull:
      return "null";
    case TypeId::kBit:
      return "bit";
    case TypeId::kTinyInt:
      return "tinyint";
    case TypeId::kSmallInt:
      return "smallint";
    case TypeId::kInt:
      return "int";
    case TypeId::kBigInt:
      return "bigint";
    case TypeId::kDecimal:
      return "decimal";
    case TypeId::kNumeric:
      return "numeric";
    case TypeId::kMoney:
      return "money";
    case TypeId::kSmallMoney:
      return "smallmoney";
    case TypeId::kReal:
      return "real";
    case TypeId::kFloat:
      return "float";
    case TypeId::kChar:
      return "char";
    case TypeId::kVarChar:
      return "varchar";
    case TypeId::kText:
      return "text";
    case TypeId::kNChar:
      return "nchar";
    case TypeId::kNVarChar:
      return "nvarchar";
    case TypeId::kNText:
      return "ntext";
    case TypeId::kDateTime:
      return "datetime";
    case TypeId::kSmallDateTime:
      return "smalldatetime";
    case TypeId::kUniqueIdentifier:
      return "uniqueidentifier";
  }
  return "null";
}

std::string SqlType::Declaration() const {
  switch (id) {
    case TypeId::kChar:
    case TypeId::kVarChar:
    case TypeId::kNChar:
    case TypeId::kNVarChar:
      return Name() + "(" + (length < 0 ? std::string("max") : std::to_string(length)) + ")";
    case TypeId::kDecimal:
    case TypeId::kNumeric:
      return Name() + "(" + std::to_string(precision) + "," + std::to_string(scale) + ")";
    default:
      return Name();
  }
}

}  // namespace engine
