// Result sets on the wire (see result_encoding.h).
#include "tds/result_encoding.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "tds/text.h"
#include "tds/tokens.h"
#include "value_access.h"

namespace tds {
namespace {

using engine::TypeId;

constexpr uint32_t kMaxShortString = 8000;  // bytes of a non-(max) varchar/nvarchar
constexpr uint16_t kPlpLength = 0xFFFF;
constexpr uint32_t kTextMaxLength = 0x7FFFFFFF;
constexpr uint32_t kNTextMaxLength = 0x7FFFFFFE;
constexpr uint64_t kPlpNull = ~uint64_t{0};
constexpr std::array<uint8_t, 16> kTextPointer = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                  0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
constexpr std::array<uint8_t, 8> kTextTimestamp = {0, 0, 0, 0, 0, 0, 0, 0};
constexpr int64_t kMsPerDay = 86400000;

// DECIMALN storage by precision: sign byte plus 4, 8, 12 or 16 bytes of magnitude.
uint32_t DecimalLength(uint8_t precision) {
  if (precision <= 9) return 5;
  if (precision <= 19) return 9;
  if (precision <= 28) return 13;
  return 17;
}

bool IsSingleByte(const WireColumn& c) {
  return c.type == kWireBigVarChar || c.type == kWireBigChar || c.type == kWireText;
}

Bytes StringBytes(const WireColumn& c, const engine::Value& v) {
  return IsSingleByte(c) ? Utf8ToCp1252(StringOf(v)) : Utf8ToUtf16Le(StringOf(v));
}

WireColumn StringColumn(const engine::SqlType& type, const std::vector<std::vector<engine::Value>>& rows,
                        size_t index) {
  const bool unicode = type.IsUnicode();
  WireColumn c;
  c.type = unicode ? (type.IsFixedString() ? kWireNChar : kWireNVarChar)
                   : (type.IsFixedString() ? kWireBigChar : kWireBigVarChar);
  uint64_t bytes = type.length < 0 ? kMaxShortString + 1 : static_cast<uint64_t>(std::max(type.length, 1));
  if (unicode) bytes *= 2;
  for (const auto& row : rows) {
    if (index < row.size() && !row[index].is_null())
      bytes = std::max<uint64_t>(bytes, StringBytes(c, row[index]).size());
  }
  if (bytes > kMaxShortString) {
    // char(max) does not exist: an over-long fixed string travels as varchar(max).
    c.type = unicode ? kWireNVarChar : kWireBigVarChar;
    c.plp = true;
    c.length = kPlpLength;
  } else {
    c.length = static_cast<uint32_t>(bytes);
  }
  return c;
}

WireColumn DecimalColumn(const engine::SqlType& type, const std::vector<std::vector<engine::Value>>& rows,
                         size_t index) {
  WireColumn c;
  c.type = type.id == TypeId::kNumeric ? kWireNumericN : kWireDecimalN;
  c.scale = std::min<uint8_t>(type.scale, 38);
  c.precision = std::clamp<uint8_t>(type.precision == 0 ? 18 : type.precision, std::max<uint8_t>(c.scale, 1), 38);
  // A value wider than the declared precision (an engine expression typed too narrowly) widens it.
  for (const auto& row : rows) {
    if (index >= row.size() || row[index].is_null()) continue;
    uint64_t magnitude = DecimalMagnitude(row[index], c.scale);
    uint8_t digits = 1;
    for (uint64_t m = magnitude; m >= 10; m /= 10) ++digits;
    c.precision = std::max(c.precision, digits);
  }
  c.length = DecimalLength(c.precision);
  return c;
}

WireColumn Fixed(uint8_t type, uint32_t length) {
  WireColumn c;
  c.type = type;
  c.length = length;
  return c;
}

void WriteDecimal(Writer& w, const WireColumn& c, const engine::Value& v) {
  const int64_t units = DecimalUnits(v, c.scale);
  const uint64_t magnitude = units < 0 ? ~static_cast<uint64_t>(units) + 1 : static_cast<uint64_t>(units);
  w.U8(static_cast<uint8_t>(c.length));
  w.U8(units < 0 ? 0 : 1);
  const uint32_t bytes = c.length - 1;
  for (uint32_t i = 0; i < bytes; ++i) w.U8(i < 8 ? static_cast<uint8_t>(magnitude >> (8 * i)) : 0);
}

void WriteMoney(Writer& w, const WireColumn& c, const engine::Value& v) {
  const int64_t units = DecimalUnits(v, 4);
  w.U8(static_cast<uint8_t>(c.length));
  if (c.length == 4) {
    w.U32(static_cast<uint32_t>(static_cast<int32_t>(units)));
    return;
  }
  // money is two 32-bit halves, the high one first.
  w.U32(static_cast<uint32_t>(static_cast<uint64_t>(units) >> 32));
  w.U32(static_cast<uint32_t>(units));
}

void WriteFloat(Writer& w, const WireColumn& c, const engine::Value& v) {
  const double d = DoubleOf(v);
  w.U8(static_cast<uint8_t>(c.length));
  if (c.length == 4) {
    auto f = static_cast<float>(d);
    uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    w.U32(bits);
  } else {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    w.U64(bits);
  }
}

void WriteDateTime(Writer& w, const WireColumn& c, const engine::Value& v) {
  WireDateTime wire = ToWireDateTime(DateTimeOf(v));
  w.U8(static_cast<uint8_t>(c.length));
  if (c.length == 4) {
    // smalldatetime: days and minutes, both unsigned 16 bits.
    w.U16(static_cast<uint16_t>(wire.days));
    w.U16(static_cast<uint16_t>(wire.ticks / (300 * 60)));
    return;
  }
  w.U32(static_cast<uint32_t>(wire.days));
  w.U32(wire.ticks);
}

void WritePlp(Writer& w, const Bytes& bytes) {
  w.U64(bytes.size());
  if (!bytes.empty()) {
    w.U32(static_cast<uint32_t>(bytes.size()));
    w.Raw(bytes);
  }
  w.U32(0);  // terminator
}

void WriteString(Writer& w, const WireColumn& c, const engine::Value& v) {
  Bytes bytes = StringBytes(c, v);
  if (c.plp) {
    WritePlp(w, bytes);
  } else if (c.type == kWireText || c.type == kWireNText) {
    w.U8(static_cast<uint8_t>(kTextPointer.size()));
    w.Raw(kTextPointer);
    w.Raw(kTextTimestamp);
    w.U32(static_cast<uint32_t>(bytes.size()));
    w.Raw(bytes);
  } else {
    w.U16(static_cast<uint16_t>(bytes.size()));
    w.Raw(bytes);
  }
}

void WriteNull(Writer& w, const WireColumn& c) {
  if (c.plp) {
    w.U64(kPlpNull);
  } else if (c.type == kWireBigVarChar || c.type == kWireBigChar || c.type == kWireNVarChar || c.type == kWireNChar) {
    w.U16(0xFFFF);
  } else {
    w.U8(0);  // a zero length; for text and ntext, no text pointer
  }
}

}  // namespace

WireDateTime ToWireDateTime(engine::DateTime dt) {
  int64_t days = dt.ms / kMsPerDay;
  int64_t ms = dt.ms % kMsPerDay;
  if (ms < 0) {
    ms += kMsPerDay;
    --days;
  }
  // The engine keeps datetime at SQL Server's .000/.003/.007 steps, which are whole ticks.
  int64_t ticks = std::llround(static_cast<double>(ms) * 0.3);
  return WireDateTime{static_cast<int32_t>(days), static_cast<uint32_t>(std::min<int64_t>(ticks, 25919999))};
}

engine::DateTime FromWireDateTime(WireDateTime wire) {
  return engine::DateTime{static_cast<int64_t>(wire.days) * kMsPerDay + std::llround(wire.ticks / 0.3)};
}

WireColumn WireColumnFor(const engine::ColumnInfo& column, const std::vector<std::vector<engine::Value>>& rows,
                         size_t index) {
  const engine::SqlType& type = column.type;
  switch (type.id) {
    case TypeId::kNull:  // a bare NULL travels as int, as SQL Server types it
    case TypeId::kInt:
      return Fixed(kWireIntN, 4);
    case TypeId::kBit:
      return Fixed(kWireBitN, 1);
    case TypeId::kTinyInt:
      return Fixed(kWireIntN, 1);
    case TypeId::kSmallInt:
      return Fixed(kWireIntN, 2);
    case TypeId::kBigInt:
      return Fixed(kWireIntN, 8);
    case TypeId::kDecimal:
    case TypeId::kNumeric:
      return DecimalColumn(type, rows, index);
    case TypeId::kMoney:
      return Fixed(kWireMoneyN, 8);
    case TypeId::kSmallMoney:
      return Fixed(kWireMoneyN, 4);
    case TypeId::kReal:
      return Fixed(kWireFltN, 4);
    case TypeId::kFloat:
      return Fixed(kWireFltN, 8);
    case TypeId::kDateTime:
      return Fixed(kWireDateTimeN, 8);
    case TypeId::kSmallDateTime:
      return Fixed(kWireDateTimeN, 4);
    case TypeId::kUniqueIdentifier:
      return Fixed(kWireGuid, 16);
    case TypeId::kText:
      return Fixed(kWireText, kTextMaxLength);
    case TypeId::kNText:
      return Fixed(kWireNText, kNTextMaxLength);
    case TypeId::kChar:
    case TypeId::kVarChar:
    case TypeId::kNChar:
    case TypeId::kNVarChar:
      return StringColumn(type, rows, index);
  }
  return Fixed(kWireIntN, 4);
}

void WriteTypeInfo(Writer& w, const WireColumn& c) {
  w.U8(c.type);
  switch (c.type) {
    case kWireDecimalN:
    case kWireNumericN:
      w.U8(static_cast<uint8_t>(c.length));
      w.U8(c.precision);
      w.U8(c.scale);
      return;
    case kWireBigVarChar:
    case kWireBigChar:
    case kWireNVarChar:
    case kWireNChar:
      w.U16(c.plp ? kPlpLength : static_cast<uint16_t>(c.length));
      w.Raw(kCollation);
      return;
    case kWireText:
    case kWireNText:
      w.U32(c.length);
      w.Raw(kCollation);
      return;
    default:
      w.U8(static_cast<uint8_t>(c.length));
      return;
  }
}

void WriteValue(Writer& w, const WireColumn& c, const engine::Value& v) {
  if (v.is_null()) {
    WriteNull(w, c);
    return;
  }
  switch (c.type) {
    case kWireIntN:
    case kWireBitN: {
      const auto bits = static_cast<uint64_t>(IntOf(v));
      w.U8(static_cast<uint8_t>(c.length));
      for (uint32_t i = 0; i < c.length; ++i) w.U8(static_cast<uint8_t>(bits >> (8 * i)));
      return;
    }
    case kWireDecimalN:
    case kWireNumericN:
      return WriteDecimal(w, c, v);
    case kWireMoneyN:
      return WriteMoney(w, c, v);
    case kWireFltN:
      return WriteFloat(w, c, v);
    case kWireDateTimeN:
      return WriteDateTime(w, c, v);
    case kWireGuid:
      w.U8(16);
      w.Raw(GuidBytes(StringOf(v)));
      return;
    default:
      return WriteString(w, c, v);
  }
}

ResultEncoder::ResultEncoder(const engine::ResultSet& rows) : rows_(rows) {
  for (size_t i = 0; i < rows.columns.size(); ++i) wire_.push_back(WireColumnFor(rows.columns[i], rows.rows, i));
}

void ResultEncoder::WriteMetadata(Writer& w) const {
  w.U8(kTokenColMetadata);
  w.U16(static_cast<uint16_t>(wire_.size()));
  for (size_t i = 0; i < wire_.size(); ++i) {
    w.U32(0);                                                           // user type
    w.U16(rows_.columns[i].nullable ? uint16_t{0x0001} : uint16_t{0});  // flags: nullable
    WriteTypeInfo(w, wire_[i]);
    if (wire_[i].type == kWireText || wire_[i].type == kWireNText) w.U8(0);  // table name: no parts
    w.BVarChar(rows_.columns[i].name);
  }
}

void ResultEncoder::WriteRow(Writer& w, const std::vector<engine::Value>& row) const {
  w.U8(kTokenRow);
  for (size_t i = 0; i < wire_.size(); ++i) {
    static const engine::Value kNull;
    WriteValue(w, wire_[i], i < row.size() ? row[i] : kNull);
  }
}

}  // namespace tds
