// SQL batches and RPC calls (see requests.h).
#include "tds/requests.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "messages.h"
#include "tds/result_encoding.h"
#include "tds/text.h"
#include "tds/wire.h"
#include "value_access.h"

namespace tds {
namespace {

using engine::SqlType;
using engine::TypeId;
using engine::Value;

constexpr uint16_t kProcByIdMarker = 0xFFFF;
constexpr uint8_t kStatusOutput = 0x01;
constexpr uint8_t kCallSeparator = 0xFF;
constexpr uint8_t kCallSeparatorNoExec = 0xFE;
constexpr uint64_t kPlpNull = ~uint64_t{0};
constexpr uint32_t kLongNull = 0xFFFFFFFF;
constexpr uint8_t kWireDateN = 0x28;
constexpr uint8_t kWireDateTime2N = 0x2A;
// Days from 0001-01-01 to 1900-01-01, the engine's day zero.
constexpr int64_t kDaysTo1900 = 693595;

SqlType Type(TypeId id, int32_t length = 0, uint8_t precision = 0, uint8_t scale = 0) {
  return SqlType{id, length, precision, scale};
}

void SkipAllHeaders(Reader& r) {
  const uint32_t total = r.U32();
  if (total < 4 || total - 4 > r.remaining()) throw ProtocolError("ALL_HEADERS length out of range");
  r.Seek(r.pos() + total - 4);
}

int64_t SignedLe(std::span<const uint8_t> b) {
  uint64_t v = 0;
  for (size_t i = b.size(); i-- > 0;) v = (v << 8) | b[i];
  if (b.size() < 8 && (b.back() & 0x80) != 0) v |= ~uint64_t{0} << (8 * b.size());
  return static_cast<int64_t>(v);
}

uint8_t ExpectLength(Reader& r, std::initializer_list<uint8_t> allowed) {
  uint8_t n = r.U8();
  if (std::find(allowed.begin(), allowed.end(), n) == allowed.end()) throw ProtocolError("bad value length");
  return n;
}

Value IntValue(uint8_t size, std::span<const uint8_t> b) {
  switch (size) {
    case 1:
      return Value::Int(b[0], TypeId::kTinyInt);
    case 2:
      return Value::Int(SignedLe(b), TypeId::kSmallInt);
    case 4:
      return Value::Int(SignedLe(b), TypeId::kInt);
    default:
      return Value::Int(SignedLe(b), TypeId::kBigInt);
  }
}

TypeId IntType(uint8_t size) {
  return size == 1 ? TypeId::kTinyInt : size == 2 ? TypeId::kSmallInt : size == 4 ? TypeId::kInt : TypeId::kBigInt;
}

Value FloatValue(uint8_t size, std::span<const uint8_t> b) {
  if (size == 4) {
    float f;
    std::memcpy(&f, b.data(), 4);
    return Value::Float(f, TypeId::kReal);
  }
  double d;
  std::memcpy(&d, b.data(), 8);
  return Value::Float(d, TypeId::kFloat);
}

Value MoneyValue(uint8_t size, Reader& r) {
  if (size == 4) {
    return Value::Dec(engine::Decimal{static_cast<int32_t>(r.U32()), 4}, Type(TypeId::kSmallMoney, 0, 10, 4));
  }
  const uint64_t high = r.U32();
  const uint64_t low = r.U32();
  return Value::Dec(engine::Decimal{static_cast<int64_t>((high << 32) | low), 4}, Type(TypeId::kMoney, 0, 19, 4));
}

Value DateTimeValue(uint8_t size, Reader& r) {
  if (size == 4) {
    const uint16_t days = r.U16();
    const uint16_t minutes = r.U16();
    return Value::Date(engine::DateTime{days * int64_t{86400000} + minutes * int64_t{60000}}, TypeId::kSmallDateTime);
  }
  WireDateTime wire;
  wire.days = static_cast<int32_t>(r.U32());
  wire.ticks = r.U32();
  return Value::Date(FromWireDateTime(wire), TypeId::kDateTime);
}

Value DecimalValue(Reader& r, TypeId id, uint8_t precision, uint8_t scale) {
  const SqlType type = Type(id, 0, precision, scale);
  const uint8_t n = r.U8();
  if (n == 0) return Value::Null(type);
  if (n > 17) throw ProtocolError("decimal value too long");
  const uint8_t sign = r.U8();
  std::span<const uint8_t> magnitude = r.Take(n - 1u);
  uint64_t units = 0;
  for (size_t i = magnitude.size(); i-- > 0;) {
    if (i >= 8 && magnitude[i] != 0) throw RequestError(msg::ArithmeticOverflow());
    if (i < 8) units = (units << 8) | magnitude[i];
  }
  if (units > static_cast<uint64_t>(INT64_MAX)) throw RequestError(msg::ArithmeticOverflow());
  const int64_t value = sign == 0 ? -static_cast<int64_t>(units) : static_cast<int64_t>(units);
  return Value::Dec(engine::Decimal{value, scale}, type);
}

Bytes ReadPlp(Reader& r, bool& null) {
  Bytes out;
  const uint64_t total = r.U64();
  null = total == kPlpNull;
  if (null) return out;
  for (;;) {
    const uint32_t chunk = r.U32();
    if (chunk == 0) return out;
    std::span<const uint8_t> data = r.Take(chunk);
    out.insert(out.end(), data.begin(), data.end());
  }
}

Value StringValue(Bytes bytes, bool null, bool unicode, SqlType type) {
  if (null) return Value::Null(type);
  if (unicode && bytes.size() % 2 != 0) throw ProtocolError("odd length of a Unicode value");
  return Value::String(unicode ? Utf16LeToUtf8(bytes) : Cp1252ToUtf8(bytes), type);
}

// varchar, char, nvarchar, nchar: 2-byte maximum (0xFFFF = max, sent as PLP) and collation.
Value ShortStringValue(Reader& r, uint8_t wire) {
  const bool unicode = wire == kWireNVarChar || wire == kWireNChar;
  const bool fixed = wire == kWireBigChar || wire == kWireNChar;
  const uint16_t max = r.U16();
  r.Take(5);  // collation: the database's collation applies
  const bool plp = max == 0xFFFF;
  const int32_t length = plp ? -1 : std::max(1, unicode ? max / 2 : static_cast<int>(max));
  const SqlType type =
      Type(unicode ? (fixed ? TypeId::kNChar : TypeId::kNVarChar) : (fixed ? TypeId::kChar : TypeId::kVarChar), length);
  bool null = false;
  Bytes bytes;
  if (plp) {
    bytes = ReadPlp(r, null);
  } else {
    const uint16_t n = r.U16();
    null = n == 0xFFFF;
    if (!null) {
      std::span<const uint8_t> data = r.Take(n);
      bytes.assign(data.begin(), data.end());
    }
  }
  return StringValue(std::move(bytes), null, unicode, type);
}

// text and ntext: 4-byte maximum and collation; the value is a 4-byte length and the data.
Value LongStringValue(Reader& r, uint8_t wire) {
  const bool unicode = wire == kWireNText;
  r.U32();
  r.Take(5);
  const uint32_t n = r.U32();
  const SqlType type = Type(unicode ? TypeId::kNText : TypeId::kText, -1);
  if (n == kLongNull) return Value::Null(type);
  std::span<const uint8_t> data = r.Take(n);
  return StringValue(Bytes(data.begin(), data.end()), false, unicode, type);
}

// date and datetime2 (what a client sends for a timestamp under TDS 7.3+): 3-byte days since
// 0001-01-01, before that for datetime2 the time in units of 10^-scale seconds.
Value DateValue(Reader& r, uint8_t wire) {
  const uint8_t scale = wire == kWireDateTime2N ? r.U8() : 0;
  if (scale > 7) throw ProtocolError("datetime2 scale out of range");
  const uint8_t n = r.U8();
  if (n == 0) return Value::Null(Type(TypeId::kDateTime));
  const size_t time_bytes = wire == kWireDateTime2N ? (scale <= 2 ? 3 : scale <= 4 ? 4 : 5) : 0;
  if (n != time_bytes + 3) throw ProtocolError("bad date value length");
  uint64_t time = 0;
  std::span<const uint8_t> t = r.Take(time_bytes);
  for (size_t i = t.size(); i-- > 0;) time = (time << 8) | t[i];
  std::span<const uint8_t> d = r.Take(3);
  const int64_t days = d[0] | (d[1] << 8) | (d[2] << 16);
  auto ms = static_cast<int64_t>(time);
  for (int i = scale; i < 3; ++i) ms *= 10;
  for (int i = 3; i < scale; ++i) ms /= 10;
  return Value::Date(engine::DateTime{(days - kDaysTo1900) * 86400000 + ms}, TypeId::kDateTime);
}

// Fixed-length types carry no length in TYPE_INFO nor in the value.
Value FixedValue(Reader& r, uint8_t wire) {
  switch (wire) {
    case kWireInt1:
      return IntValue(1, r.Take(1));
    case kWireBit:
      return Value::Bit(r.U8() != 0);
    case kWireInt2:
      return IntValue(2, r.Take(2));
    case kWireInt4:
      return IntValue(4, r.Take(4));
    case kWireInt8:
      return IntValue(8, r.Take(8));
    case kWireFlt4:
      return FloatValue(4, r.Take(4));
    case kWireFlt8:
      return FloatValue(8, r.Take(8));
    case kWireMoney4:
      return MoneyValue(4, r);
    case kWireMoney:
      return MoneyValue(8, r);
    case kWireDateTim4:
      return DateTimeValue(4, r);
    default:  // kWireDateTime
      return DateTimeValue(8, r);
  }
}

Value NullableValue(Reader& r, uint8_t wire) {
  switch (wire) {
    case kWireIntN: {
      const uint8_t size = ExpectLength(r, {1, 2, 4, 8});
      const uint8_t n = ExpectLength(r, {0, size});
      return n == 0 ? Value::Null(Type(IntType(size))) : IntValue(n, r.Take(n));
    }
    case kWireBitN: {
      ExpectLength(r, {1});
      return ExpectLength(r, {0, 1}) == 0 ? Value::Null(Type(TypeId::kBit)) : Value::Bit(r.U8() != 0);
    }
    case kWireFltN: {
      const uint8_t size = ExpectLength(r, {4, 8});
      const uint8_t n = ExpectLength(r, {0, size});
      return n == 0 ? Value::Null(Type(size == 4 ? TypeId::kReal : TypeId::kFloat)) : FloatValue(n, r.Take(n));
    }
    case kWireMoneyN: {
      const uint8_t size = ExpectLength(r, {4, 8});
      const uint8_t n = ExpectLength(r, {0, size});
      return n == 0 ? Value::Null(Type(size == 4 ? TypeId::kSmallMoney : TypeId::kMoney)) : MoneyValue(n, r);
    }
    case kWireDateTimeN: {
      const uint8_t size = ExpectLength(r, {4, 8});
      const uint8_t n = ExpectLength(r, {0, size});
      return n == 0 ? Value::Null(Type(size == 4 ? TypeId::kSmallDateTime : TypeId::kDateTime)) : DateTimeValue(n, r);
    }
    default: {  // kWireGuid
      ExpectLength(r, {16});
      const uint8_t n = ExpectLength(r, {0, 16});
      return n == 0 ? Value::Null(Type(TypeId::kUniqueIdentifier))
                    : Value::String(GuidText(r.Take(16).data()), Type(TypeId::kUniqueIdentifier));
    }
  }
}

Value DecimalParam(Reader& r, uint8_t wire) {
  r.U8();  // storage length; the value carries its own
  const uint8_t precision = r.U8();
  const uint8_t scale = r.U8();
  if (precision == 0 || precision > 38 || scale > precision) throw ProtocolError("decimal precision out of range");
  return DecimalValue(r, wire == kWireNumericN ? TypeId::kNumeric : TypeId::kDecimal, precision, scale);
}

Value ParamValue(Reader& r) {
  const uint8_t wire = r.U8();
  switch (wire) {
    case kWireInt1:
    case kWireBit:
    case kWireInt2:
    case kWireInt4:
    case kWireInt8:
    case kWireFlt4:
    case kWireFlt8:
    case kWireMoney4:
    case kWireMoney:
    case kWireDateTim4:
    case kWireDateTime:
      return FixedValue(r, wire);
    case kWireIntN:
    case kWireBitN:
    case kWireFltN:
    case kWireMoneyN:
    case kWireDateTimeN:
    case kWireGuid:
      return NullableValue(r, wire);
    case kWireDecimalN:
    case kWireNumericN:
      return DecimalParam(r, wire);
    case kWireBigVarChar:
    case kWireBigChar:
    case kWireNVarChar:
    case kWireNChar:
      return ShortStringValue(r, wire);
    case kWireText:
    case kWireNText:
      return LongStringValue(r, wire);
    case kWireDateN:
    case kWireDateTime2N:
      return DateValue(r, wire);
    default:
      throw ProtocolError("unsupported parameter type");
  }
}

bool AtCallEnd(const Reader& r, std::span<const uint8_t> payload) {
  if (r.AtEnd()) return true;
  const uint8_t next = payload[r.pos()];
  return next == kCallSeparator || next == kCallSeparatorNoExec;
}

RpcCall ParseCall(Reader& r, std::span<const uint8_t> payload) {
  RpcCall call;
  const uint16_t name_length = r.U16();
  if (name_length == kProcByIdMarker) {
    call.proc_id = r.U16();
  } else {
    call.proc_name = r.Utf16(name_length);
  }
  r.U16();  // option flags (recompile, no metadata): nothing to do for this engine
  while (!AtCallEnd(r, payload)) {
    RpcParam param;
    param.name = r.BVarChar();
    param.output = (r.U8() & kStatusOutput) != 0;
    param.value = ParamValue(r);
    call.params.push_back(std::move(param));
  }
  return call;
}

std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

std::string ParseSqlBatch(std::span<const uint8_t> payload, bool all_headers) {
  Reader r(payload);
  if (all_headers) SkipAllHeaders(r);
  if (r.remaining() % 2 != 0) throw ProtocolError("odd length of a batch text");
  return r.Utf16(r.remaining() / 2);
}

std::vector<RpcCall> ParseRpc(std::span<const uint8_t> payload, bool all_headers) {
  Reader r(payload);
  if (all_headers) SkipAllHeaders(r);
  std::vector<RpcCall> calls;
  calls.push_back(ParseCall(r, payload));
  while (!r.AtEnd()) {
    r.U8();  // the separator between calls
    calls.push_back(ParseCall(r, payload));
  }
  return calls;
}

uint16_t ResolveProcId(const RpcCall& call) {
  if (call.proc_id != 0) return call.proc_id;
  std::string name = LowerAscii(call.proc_name);
  // "sp_executesql", "sys.sp_executesql", "master..sp_executesql" and bracketed forms alike.
  std::erase_if(name, [](char c) { return c == '[' || c == ']'; });
  if (size_t dot = name.rfind('.'); dot != std::string::npos) name.erase(0, dot + 1);
  if (name == "sp_executesql") return kProcExecuteSql;
  if (name == "sp_prepare") return kProcPrepare;
  if (name == "sp_execute") return kProcExecute;
  if (name == "sp_prepexec") return kProcPrepExec;
  if (name == "sp_unprepare") return kProcUnprepare;
  return 0;
}

std::vector<std::string> DeclaredNames(std::string_view declaration) {
  std::vector<std::string> names;
  int depth = 0;
  bool expect_name = true;
  for (size_t i = 0; i < declaration.size(); ++i) {
    const char c = declaration[i];
    if (c == '(') ++depth;
    if (c == ')') --depth;
    if (c == ',' && depth == 0) expect_name = true;
    if (c != '@' || !expect_name) continue;
    size_t end = i + 1;
    while (end < declaration.size() &&
           (std::isalnum(static_cast<unsigned char>(declaration[end])) || declaration[end] == '_' ||
            declaration[end] == '@' || declaration[end] == '#' || declaration[end] == '$')) {
      ++end;
    }
    names.emplace_back(declaration.substr(i, end - i));
    expect_name = false;
    i = end - 1;
  }
  return names;
}

}  // namespace tds
