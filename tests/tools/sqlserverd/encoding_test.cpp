// Result encoding byte by byte for every type (NULL included, umlauts in varchar and nvarchar, a
// character outside the BMP), and the DONE rule of a reply.
#include <gtest/gtest.h>

#include <cstdio>

#include "tds/reply.h"
#include "tds/result_encoding.h"
#include "tds/tokens.h"

namespace tds {
namespace {

using engine::SqlType;
using engine::TypeId;
using engine::Value;

std::string Hex(const Bytes& bytes) {
  std::string out;
  char buf[4];
  for (uint8_t b : bytes) {
    std::snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
    out += buf;
  }
  return out;
}

// TYPE_INFO and the encoded value of one value in a column of `type`.
std::pair<std::string, std::string> Encode(SqlType type, const Value& value) {
  engine::ColumnInfo column{"c", type, true};
  std::vector<std::vector<Value>> rows = {{value}};
  WireColumn wire = WireColumnFor(column, rows, 0);
  Bytes info;
  Bytes data;
  Writer wi(info);
  Writer wd(data);
  WriteTypeInfo(wi, wire);
  WriteValue(wd, wire, value);
  return {Hex(info), Hex(data)};
}

std::string Data(SqlType type, const Value& value) { return Encode(type, value).second; }

SqlType T(TypeId id, int32_t length = 0, uint8_t precision = 0, uint8_t scale = 0) {
  return SqlType{id, length, precision, scale};
}

engine::DateTime At(int64_t days, int64_t ms_of_day) { return engine::DateTime{days * 86400000 + ms_of_day}; }

TEST(Encoding, IntegersAsIntNOfTheirSize) {
  EXPECT_EQ(Encode(T(TypeId::kInt), Value::Int(7)),
            std::make_pair(std::string("26 04"), std::string("04 07 00 00 00")));
  EXPECT_EQ(Data(T(TypeId::kInt), Value::Null(T(TypeId::kInt))), "00");
  EXPECT_EQ(Encode(T(TypeId::kTinyInt), Value::Int(255, TypeId::kTinyInt)).second, "01 FF");
  EXPECT_EQ(Encode(T(TypeId::kSmallInt), Value::Int(-2, TypeId::kSmallInt)),
            std::make_pair(std::string("26 02"), std::string("02 FE FF")));
  EXPECT_EQ(Data(T(TypeId::kBigInt), Value::Int(-2, TypeId::kBigInt)), "08 FE FF FF FF FF FF FF FF");
  EXPECT_EQ(Encode(T(TypeId::kBit), Value::Bit(true)), std::make_pair(std::string("68 01"), std::string("01 01")));
  EXPECT_EQ(Encode(T(TypeId::kNull), Value()), std::make_pair(std::string("26 04"), std::string("00")));
}

TEST(Encoding, DecimalsWithPrecisionScaleAndSign) {
  EXPECT_EQ(Encode(T(TypeId::kNumeric, 0, 10, 2), Value::Dec({325, 2}, T(TypeId::kNumeric, 0, 10, 2))),
            std::make_pair(std::string("6C 09 0A 02"), std::string("09 01 45 01 00 00 00 00 00 00")));
  EXPECT_EQ(Encode(T(TypeId::kDecimal, 0, 5, 2), Value::Dec({-15, 1}, T(TypeId::kDecimal, 0, 5, 2))),
            std::make_pair(std::string("6A 05 05 02"), std::string("05 00 96 00 00 00")));
  EXPECT_EQ(Data(T(TypeId::kDecimal, 0, 5, 2), Value::Null(T(TypeId::kDecimal, 0, 5, 2))), "00");
}

TEST(Encoding, MoneyAsTwoHalvesHighFirst) {
  EXPECT_EQ(Encode(T(TypeId::kMoney), Value::Dec({125, 1}, T(TypeId::kMoney, 0, 19, 4))),
            std::make_pair(std::string("6E 08"), std::string("08 00 00 00 00 48 E8 01 00")));
  EXPECT_EQ(Data(T(TypeId::kMoney), Value::Dec({-1, 4}, T(TypeId::kMoney, 0, 19, 4))), "08 FF FF FF FF FF FF FF FF");
  EXPECT_EQ(Encode(T(TypeId::kSmallMoney), Value::Dec({1, 0}, T(TypeId::kSmallMoney, 0, 10, 4))),
            std::make_pair(std::string("6E 04"), std::string("04 10 27 00 00")));
}

TEST(Encoding, FloatAndReal) {
  EXPECT_EQ(Encode(T(TypeId::kFloat), Value::Float(1.5)),
            std::make_pair(std::string("6D 08"), std::string("08 00 00 00 00 00 00 F8 3F")));
  EXPECT_EQ(Encode(T(TypeId::kReal), Value::Float(1.5, TypeId::kReal)),
            std::make_pair(std::string("6D 04"), std::string("04 00 00 C0 3F")));
}

TEST(Encoding, DateTimeAsDaysAndTicks) {
  // 2013-02-20 is day 41323 (0xA16B); 09:05 is 9,810,000 ticks of 1/300 s.
  EXPECT_EQ(Encode(T(TypeId::kDateTime), Value::Date(At(41323, 32700000))),
            std::make_pair(std::string("6F 08"), std::string("08 6B A1 00 00 50 B0 95 00")));
  EXPECT_EQ(Data(T(TypeId::kDateTime), Value::Date(At(0, 3))), "08 00 00 00 00 01 00 00 00");
  EXPECT_EQ(Data(T(TypeId::kDateTime), Value::Date(At(0, 7))), "08 00 00 00 00 02 00 00 00");
  // 1753-01-01 lies before day zero.
  EXPECT_EQ(Data(T(TypeId::kDateTime), Value::Date(At(-53690, 0))), "08 46 2E FF FF 00 00 00 00");
  EXPECT_EQ(Encode(T(TypeId::kSmallDateTime), Value::Date(At(41323, 32700000), TypeId::kSmallDateTime)),
            std::make_pair(std::string("6F 04"), std::string("04 6B A1 21 02")));
  EXPECT_EQ(FromWireDateTime(ToWireDateTime(At(41323, 32700997))).ms, At(41323, 32700997).ms);
}

TEST(Encoding, GuidWithTheFirstThreeGroupsLittleEndian) {
  Value guid = Value::String("6F9619FF-8B86-D011-B42D-00C04FC964FF", T(TypeId::kUniqueIdentifier));
  EXPECT_EQ(Encode(T(TypeId::kUniqueIdentifier), guid),
            std::make_pair(std::string("24 10"), std::string("10 FF 19 96 6F 86 8B 11 D0 B4 2D 00 C0 4F C9 64 FF")));
}

TEST(Encoding, VarcharInWindows1252WithTheCollation) {
  EXPECT_EQ(Encode(T(TypeId::kVarChar, 10), Value::String("Müller€", T(TypeId::kVarChar, 10))),
            std::make_pair(std::string("A7 0A 00 09 04 D0 00 34"), std::string("07 00 4D FC 6C 6C 65 72 80")));
  EXPECT_EQ(Data(T(TypeId::kVarChar, 10), Value::Null(T(TypeId::kVarChar, 10))), "FF FF");
  EXPECT_EQ(Encode(T(TypeId::kChar, 3), Value::String("ab ", T(TypeId::kChar, 3))),
            std::make_pair(std::string("AF 03 00 09 04 D0 00 34"), std::string("03 00 61 62 20")));
  // A character outside Windows-1252 travels as '?', as varchar stores it.
  EXPECT_EQ(Data(T(TypeId::kVarChar, 10), Value::String("a😀", T(TypeId::kVarChar, 10))), "02 00 61 3F");
}

TEST(Encoding, NvarcharInUtf16WithByteLengths) {
  EXPECT_EQ(Encode(T(TypeId::kNVarChar, 10), Value::String("Grüße", T(TypeId::kNVarChar, 10))),
            std::make_pair(std::string("E7 14 00 09 04 D0 00 34"), std::string("0A 00 47 00 72 00 FC 00 DF 00 65 00")));
  // U+1F600 is a surrogate pair: four bytes.
  EXPECT_EQ(Data(T(TypeId::kNVarChar, 10), Value::String("😀", T(TypeId::kNVarChar, 10))), "04 00 3D D8 00 DE");
  EXPECT_EQ(Encode(T(TypeId::kNChar, 2), Value::String("ä ", T(TypeId::kNChar, 2))),
            std::make_pair(std::string("EF 04 00 09 04 D0 00 34"), std::string("04 00 E4 00 20 00")));
}

TEST(Encoding, MaxStringsAsPlpChunks) {
  EXPECT_EQ(Encode(T(TypeId::kVarChar, -1), Value::String("ab", T(TypeId::kVarChar, -1))),
            std::make_pair(std::string("A7 FF FF 09 04 D0 00 34"),
                           std::string("02 00 00 00 00 00 00 00 02 00 00 00 61 62 00 00 00 00")));
  EXPECT_EQ(Data(T(TypeId::kNVarChar, -1), Value::Null(T(TypeId::kNVarChar, -1))), "FF FF FF FF FF FF FF FF");
  EXPECT_EQ(Data(T(TypeId::kNVarChar, -1), Value::String("", T(TypeId::kNVarChar, -1))),
            "00 00 00 00 00 00 00 00 00 00 00 00");
}

TEST(Encoding, TextWithTextPointerAndTimestamp) {
  EXPECT_EQ(Encode(T(TypeId::kText, -1), Value::String("ab", T(TypeId::kText, -1))),
            std::make_pair(std::string("23 FF FF FF 7F 09 04 D0 00 34"),
                           std::string("10 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF 00 00 00 00 00 00 00 00 "
                                       "02 00 00 00 61 62")));
  EXPECT_EQ(Data(T(TypeId::kNText, -1), Value::Null(T(TypeId::kNText, -1))), "00");
  EXPECT_EQ(Data(T(TypeId::kNText, -1), Value::String("ö", T(TypeId::kNText, -1))).substr(75), "02 00 00 00 F6 00");
}

TEST(Encoding, AStringLongerThanItsColumnWidensTheColumn) {
  engine::ColumnInfo column{"c", T(TypeId::kVarChar, 2), true};
  std::vector<std::vector<Value>> rows = {{Value::String("abcd", T(TypeId::kVarChar, 2))}};
  EXPECT_EQ(WireColumnFor(column, rows, 0).length, 4u);
}

TEST(Encoding, ColumnMetadataCarriesNullabilityAndNames) {
  engine::ResultSet rs;
  rs.columns = {{"Nr", T(TypeId::kInt), false}, {"Näme", T(TypeId::kNVarChar, 5), true}};
  Bytes out;
  Writer w(out);
  ResultEncoder(rs).WriteMetadata(w);
  EXPECT_EQ(Hex(out),
            "81 02 00 00 00 00 00 00 00 26 04 02 4E 00 72 00 "
            "00 00 00 00 01 00 E7 0A 00 09 04 D0 00 34 04 4E 00 E4 00 6D 00 65 00");
}

TEST(Messages, ErrorAndInfoTokens) {
  engine::Message m{208, 16, 1, 3, "Invalid object name 'x'."};
  Bytes out;
  Writer w(out);
  WriteMessage(w, m, "srv");
  EXPECT_EQ(out[0], kTokenError);
  EXPECT_EQ(Hex(Bytes(out.begin() + 3, out.begin() + 9)), "D0 00 00 00 01 10");
  EXPECT_EQ(Hex(Bytes(out.end() - 12, out.end())), "03 73 00 72 00 76 00 00 03 00 00 00");
  out.clear();
  WriteMessage(w, engine::Message{0, 0, 1, 1, "hallo"}, "srv");
  EXPECT_EQ(out[0], kTokenInfo);
}

// The DONE tokens of a reply: (token, status, count) in order.
std::vector<std::array<uint64_t, 3>> Dones(const Bytes& bytes, const std::vector<size_t>& at) {
  std::vector<std::array<uint64_t, 3>> out;
  for (size_t i : at) {
    Reader r(std::span<const uint8_t>(bytes).subspan(i));
    uint64_t token = r.U8();
    uint64_t status = r.U16();
    r.U16();
    out.push_back({token, status, r.U64()});
  }
  return out;
}

TEST(ReplyDone, EveryDoneButTheLastCarriesMore) {
  engine::BatchResult result;
  engine::StatementResult count;
  count.kind = engine::StatementResult::Kind::kCount;
  count.count = 2;
  count.statement = 1;
  count.command = engine::StatementResult::Command::kInsert;
  engine::StatementResult error;
  error.kind = engine::StatementResult::Kind::kMessage;
  error.message = engine::Message{2627, 14, 1, 2, "dup"};
  error.is_error = true;
  error.statement = 2;
  engine::StatementResult count2 = count;
  count2.statement = 3;
  count2.count = 5;
  result.items = {count, error, count2};
  Reply reply;
  EXPECT_TRUE(AppendBatchResult(reply, result, kTokenDone, "srv"));
  reply.Finish(true);
  const Bytes& b = reply.bytes();
  // DONE(count 2, MORE) at 0; ERROR token; DONE(ERROR|MORE); the last DONE(count 5) without MORE.
  const size_t error_len = 3 + static_cast<size_t>(b[14] | (b[15] << 8));
  EXPECT_EQ(Dones(b, {0, 13 + error_len, 26 + error_len}),
            (std::vector<std::array<uint64_t, 3>>{{0xFD, 0x11, 2}, {0xFD, 0x03, 0}, {0xFD, 0x10, 5}}));
  EXPECT_EQ(b.size(), 39 + error_len);
}

TEST(ReplyDone, AReplyEndingInAMessageGetsAFinalDone) {
  Reply reply;
  reply.Message(engine::Message{0, 0, 1, 1, "x"}, "s");
  reply.Finish(false);
  const Bytes& b = reply.bytes();
  EXPECT_EQ(Hex(Bytes(b.end() - 13, b.end())), "FD 00 00 00 00 00 00 00 00 00 00 00 00");
}

}  // namespace
}  // namespace tds
