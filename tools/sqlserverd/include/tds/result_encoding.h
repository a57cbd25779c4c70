// Result sets on the wire: COLMETADATA with SQL Server's type for every engine type, then one
// ROW token per row. Single-byte strings travel in Windows-1252 with the database collation,
// Unicode strings in UTF-16LE; (max) strings as PLP, text and ntext with a text pointer.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/engine.h"
#include "tds/wire.h"

namespace tds {

// Data type codes of TYPE_INFO.
enum WireType : uint8_t {
  kWireImage = 0x22,
  kWireText = 0x23,
  kWireGuid = 0x24,
  kWireIntN = 0x26,
  kWireVarChar = 0x27,
  kWireChar = 0x2F,
  kWireInt1 = 0x30,
  kWireBit = 0x32,
  kWireInt2 = 0x34,
  kWireInt4 = 0x38,
  kWireDateTim4 = 0x3A,
  kWireFlt4 = 0x3B,
  kWireMoney = 0x3C,
  kWireDateTime = 0x3D,
  kWireFlt8 = 0x3E,
  kWireNText = 0x63,
  kWireBitN = 0x68,
  kWireDecimalN = 0x6A,
  kWireNumericN = 0x6C,
  kWireFltN = 0x6D,
  kWireMoneyN = 0x6E,
  kWireDateTimeN = 0x6F,
  kWireMoney4 = 0x7A,
  kWireInt8 = 0x7F,
  kWireBigVarChar = 0xA7,
  kWireBigChar = 0xAF,
  kWireNVarChar = 0xE7,
  kWireNChar = 0xEF,
};

// How one column travels: the type code and its TYPE_INFO facets.
struct WireColumn {
  uint8_t type = kWireIntN;
  uint32_t length = 4;  // bytes (strings: the declared maximum; 0xFFFF for PLP)
  uint8_t precision = 0;
  uint8_t scale = 0;
  bool plp = false;  // (max) strings: partially length-prefixed
};

// The wire form of a column. `rows` and `index` let a string column's maximum grow to its
// longest value, so an expression typed too narrowly by the engine still travels intact.
WireColumn WireColumnFor(const engine::ColumnInfo& column, const std::vector<std::vector<engine::Value>>& rows,
                         size_t index);

// TYPE_INFO of a column (also used for RETURNVALUE).
void WriteTypeInfo(Writer& w, const WireColumn& column);
// One value in the column's wire form; NULL as the type's NULL marker.
void WriteValue(Writer& w, const WireColumn& column, const engine::Value& value);

class ResultEncoder {
 public:
  explicit ResultEncoder(const engine::ResultSet& rows);
  void WriteMetadata(Writer& w) const;
  void WriteRow(Writer& w, const std::vector<engine::Value>& row) const;
  [[nodiscard]] const std::vector<WireColumn>& columns() const { return wire_; }

 private:
  const engine::ResultSet& rows_;
  std::vector<WireColumn> wire_;
};

// Wire date and time: days since 1900-01-01 and 1/300 s ticks of the day.
struct WireDateTime {
  int32_t days = 0;
  uint32_t ticks = 0;
};
WireDateTime ToWireDateTime(engine::DateTime dt);
engine::DateTime FromWireDateTime(WireDateTime wire);

}  // namespace tds
