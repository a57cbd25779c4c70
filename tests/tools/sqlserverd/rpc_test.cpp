// RPC parsing: procedure by id and by name, every parameter type a client sends, declarations,
// and malformed calls.
#include <gtest/gtest.h>

#include "tds/requests.h"
#include "test_support.h"

namespace tds {
namespace {

using engine::TypeId;

// One parameter: name, status, then the raw TYPE_INFO and value bytes.
Bytes Param(std::initializer_list<uint8_t> type_and_value, const std::string& name = "@p") {
  Bytes out;
  Writer w(out);
  w.BVarChar(name);
  w.U8(0);
  w.Raw(Bytes(type_and_value));
  return out;
}

engine::Value ParseOne(const Bytes& param) {
  std::vector<RpcCall> calls = ParseRpc(test::RpcPayload(kProcExecuteSql, param), true);
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].params.size(), 1u);
  return calls[0].params.at(0).value;
}

std::string Text(const Bytes& param) { return ParseOne(param).ToString(); }
TypeId Type(const Bytes& param) { return ParseOne(param).type().id; }

TEST(RpcParams, IntegersOfEverySize) {
  EXPECT_EQ(Text(Param({0x26, 1, 1, 200})), "200");
  EXPECT_EQ(Type(Param({0x26, 1, 1, 200})), TypeId::kTinyInt);
  EXPECT_EQ(Text(Param({0x26, 2, 2, 0xFE, 0xFF})), "-2");
  EXPECT_EQ(Text(Param({0x26, 4, 4, 0x2A, 0, 0, 0})), "42");
  EXPECT_EQ(Text(Param({0x26, 8, 8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F})), "9223372036854775807");
  EXPECT_EQ(Text(Param({0x26, 4, 0})), "NULL");
  EXPECT_EQ(Type(Param({0x26, 8, 0})), TypeId::kBigInt);
  EXPECT_EQ(Text(Param({0x38, 0x2A, 0, 0, 0})), "42");  // fixed INT4
}

TEST(RpcParams, BitFloatMoneyDatetime) {
  EXPECT_EQ(Text(Param({0x68, 1, 1, 1})), "1");
  EXPECT_EQ(Text(Param({0x68, 1, 0})), "NULL");
  EXPECT_EQ(Text(Param({0x6D, 8, 8, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F})), "1.5");
  EXPECT_EQ(Text(Param({0x6D, 4, 4, 0, 0, 0xC0, 0x3F})), "1.5");
  EXPECT_EQ(Type(Param({0x6D, 4, 4, 0, 0, 0xC0, 0x3F})), TypeId::kReal);
  EXPECT_EQ(Text(Param({0x6E, 8, 8, 0, 0, 0, 0, 0x48, 0xE8, 0x01, 0})), "12.5000");
  EXPECT_EQ(Text(Param({0x6E, 4, 4, 0x10, 0x27, 0, 0})), "1.0000");
  EXPECT_EQ(Text(Param({0x6F, 8, 8, 0x6B, 0xA1, 0, 0, 0x50, 0xB0, 0x95, 0})), "2013-02-20 09:05:00.000");
  EXPECT_EQ(Text(Param({0x6F, 4, 4, 0x6B, 0xA1, 0x21, 0x02})), "2013-02-20 09:05:00");
  EXPECT_EQ(Text(Param({0x6F, 8, 0})), "NULL");
}

TEST(RpcParams, DecimalAndNumeric) {
  EXPECT_EQ(Text(Param({0x6C, 9, 10, 2, 9, 1, 0x45, 0x01, 0, 0, 0, 0, 0, 0})), "3.25");
  EXPECT_EQ(Text(Param({0x6A, 5, 5, 2, 5, 0, 0x96, 0, 0, 0})), "-1.50");
  EXPECT_EQ(Type(Param({0x6A, 5, 5, 2, 5, 0, 0x96, 0, 0, 0})), TypeId::kDecimal);
  EXPECT_EQ(Text(Param({0x6A, 5, 5, 2, 0})), "NULL");
}

TEST(RpcParams, SingleByteStringsAreWindows1252) {
  Bytes varchar = Param({0xA7, 20, 0, 0x09, 0x04, 0xD0, 0x00, 0x34, 6, 0, 'M', 0xFC, 'l', 'l', 'e', 'r'});
  EXPECT_EQ(Text(varchar), "Müller");
  EXPECT_EQ(ParseOne(varchar).type().length, 20);
  Bytes fixed = Param({0xAF, 3, 0, 0x09, 0x04, 0xD0, 0x00, 0x34, 3, 0, 0x80, 'a', ' '});
  EXPECT_EQ(Text(fixed), "€a ");
  EXPECT_EQ(Type(fixed), TypeId::kChar);
  EXPECT_EQ(Text(Param({0xA7, 20, 0, 0x09, 0x04, 0xD0, 0x00, 0x34, 0xFF, 0xFF})), "NULL");
}

TEST(RpcParams, UnicodeStringsWithSurrogatePairs) {
  Bytes nvarchar = Param({0xE7, 20, 0, 0x09, 0x04, 0xD0, 0x00, 0x34, 8, 0, 0xFC, 0, 'x', 0, 0x3D, 0xD8, 0x00, 0xDE});
  EXPECT_EQ(Text(nvarchar), "üx😀");
  EXPECT_EQ(ParseOne(nvarchar).type().length, 10);
  EXPECT_EQ(Type(Param({0xEF, 2, 0, 0x09, 0x04, 0xD0, 0x00, 0x34, 2, 0, 'a', 0})), TypeId::kNChar);
}

TEST(RpcParams, PlpMaxValuesInSeveralChunks) {
  Bytes plp = Param({0xE7, 0xFF, 0xFF, 0x09, 0x04, 0xD0, 0x00, 0x34, 6, 0,   0, 0,   0, 0, 0, 0, 2,
                     0,    0,    0,    'a',  0,    4,    0,    0,    0, 'b', 0, 'c', 0, 0, 0, 0, 0});
  EXPECT_EQ(Text(plp), "abc");
  EXPECT_EQ(ParseOne(plp).type().length, -1);
  EXPECT_EQ(
      Text(Param({0xA7, 0xFF, 0xFF, 0x09, 0x04, 0xD0, 0x00, 0x34, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})),
      "NULL");
}

TEST(RpcParams, TextAndNtext) {
  Bytes ntext;
  Writer w(ntext);
  test::NTextParam(w, "", "SELECT @P1");
  RpcParam param = ParseRpc(test::RpcPayload(kProcExecuteSql, ntext), true)[0].params[0];
  EXPECT_EQ(param.value.ToString(), "SELECT @P1");
  EXPECT_EQ(param.value.type().id, TypeId::kNText);
  EXPECT_EQ(param.name, "");
  Bytes text = Param({0x23, 0xFF, 0xFF, 0xFF, 0x7F, 0x09, 0x04, 0xD0, 0x00, 0x34, 2, 0, 0, 0, 0xE4, 'b'});
  EXPECT_EQ(Text(text), "äb");
  EXPECT_EQ(Text(Param({0x23, 0xFF, 0xFF, 0xFF, 0x7F, 0x09, 0x04, 0xD0, 0x00, 0x34, 0xFF, 0xFF, 0xFF, 0xFF})), "NULL");
}

TEST(RpcParams, Guid) {
  EXPECT_EQ(Text(Param({0x24, 16, 16, 0xFF, 0x19, 0x96, 0x6F, 0x86, 0x8B, 0x11, 0xD0, 0xB4, 0x2D, 0x00, 0xC0, 0x4F,
                        0xC9, 0x64, 0xFF})),
            "6F9619FF-8B86-D011-B42D-00C04FC964FF");
}

TEST(RpcCalls, ProcedureByIdOrByNameWithOutputFlags) {
  Bytes params;
  Writer w(params);
  test::IntParam(w, "@handle", 0, true, true);
  test::NTextParam(w, "@params", "@P1 int");
  RpcCall call = ParseRpc(test::RpcPayload(kProcPrepExec, params), true)[0];
  EXPECT_EQ(ResolveProcId(call), kProcPrepExec);
  ASSERT_EQ(call.params.size(), 2u);
  EXPECT_TRUE(call.params[0].output);
  EXPECT_TRUE(call.params[0].value.is_null());
  EXPECT_EQ(call.params[0].name, "@handle");

  Bytes by_name = test::AllHeaders();
  Writer n(by_name);
  n.UsVarChar("sp_execute");
  n.U16(0);
  test::IntParam(n, "", 1);
  call = ParseRpc(by_name, true)[0];
  EXPECT_EQ(call.proc_name, "sp_execute");
  EXPECT_EQ(ResolveProcId(call), kProcExecute);
  RpcCall other;
  other.proc_name = "[sys].[SP_EXECUTESQL]";
  EXPECT_EQ(ResolveProcId(other), kProcExecuteSql);
  other.proc_name = "sp_who";
  EXPECT_EQ(ResolveProcId(other), 0);
}

TEST(RpcCalls, DeclaredNamesSkipTypeArguments) {
  EXPECT_EQ(DeclaredNames("@P1 int, @P2 decimal(10,2),@P3 nvarchar(max) OUTPUT"),
            (std::vector<std::string>{"@P1", "@P2", "@P3"}));
  EXPECT_TRUE(DeclaredNames("").empty());
}

TEST(RpcCalls, MalformedCallsAreProtocolErrors) {
  EXPECT_THROW(ParseRpc(Bytes{22, 0, 0}, true), ProtocolError);         // cut inside ALL_HEADERS
  EXPECT_THROW(ParseRpc(Bytes{0xFF, 0, 0, 0}, true), ProtocolError);    // headers longer than the message
  EXPECT_THROW(ParseOne(Param({0x99, 1, 2})), ProtocolError);           // unknown type
  EXPECT_THROW(ParseOne(Param({0x26, 3, 3, 1, 2, 3})), ProtocolError);  // INTN of length 3
  EXPECT_THROW(ParseOne(Param({0x26, 4, 4, 1})), ProtocolError);        // value cut short
  EXPECT_THROW(ParseOne(Param({0xE7, 4, 0, 0x09, 0x04, 0xD0, 0x00, 0x34, 3, 0, 'a', 0, 'b'})),
               ProtocolError);                                        // odd UTF-16 length
  EXPECT_THROW(ParseOne(Param({0x6A, 5, 40, 2, 0})), ProtocolError);  // precision 40
  EXPECT_THROW(
      ParseOne(Param({0xA7, 0xFF, 0xFF, 0x09, 0x04, 0xD0, 0x00, 0x34, 1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F})),
      ProtocolError);  // a PLP chunk claiming 2 GiB
  EXPECT_THROW(ParseSqlBatch(Bytes{22, 0, 0, 0, 1}, true), ProtocolError);
}

TEST(RpcCalls, DecimalsBeyond64BitsAreAnErrorReplyNotAClose) {
  EXPECT_THROW(ParseOne(Param({0x6A, 17, 38, 0, 17, 1, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0})), RequestError);
}

TEST(SqlBatch, TextAfterTheHeaders) {
  EXPECT_EQ(ParseSqlBatch(test::BatchPayload("SELECT 'ä😀'"), true), "SELECT 'ä😀'");
  EXPECT_EQ(ParseSqlBatch(Utf8ToUtf16Le("SELECT 1"), false), "SELECT 1");
}

}  // namespace
}  // namespace tds
