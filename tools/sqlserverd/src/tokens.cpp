// Token writers (see tokens.h).
#include "tds/tokens.h"

namespace tds {
namespace {

constexpr uint8_t kTypeIntN = 0x26;
constexpr uint8_t kReturnValueOutput = 0x01;

// Writes a 2-byte length placeholder and returns where it is, for tokens whose length leads.
size_t BeginLength(Writer& w) {
  size_t at = w.size();
  w.U16(0);
  return at;
}

void EndLength(Writer& w, size_t at) { w.PatchU16(at, static_cast<uint16_t>(w.size() - at - 2)); }

}  // namespace

void WriteEnvChange(Writer& w, EnvChangeType type, std::string_view new_value, std::string_view old_value) {
  w.U8(kTokenEnvChange);
  size_t at = BeginLength(w);
  w.U8(type);
  w.BVarChar(new_value);
  w.BVarChar(old_value);
  EndLength(w, at);
}

void WriteCollationChange(Writer& w) {
  w.U8(kTokenEnvChange);
  size_t at = BeginLength(w);
  w.U8(kEnvCollation);
  w.U8(static_cast<uint8_t>(kCollation.size()));
  w.Raw(kCollation);
  w.U8(0);
  EndLength(w, at);
}

void WriteMessage(Writer& w, const engine::Message& message, std::string_view server_name) {
  w.U8(message.severity > 10 ? kTokenError : kTokenInfo);
  size_t at = BeginLength(w);
  w.U32(static_cast<uint32_t>(message.number));
  w.U8(static_cast<uint8_t>(message.state));
  w.U8(static_cast<uint8_t>(message.severity));
  w.UsVarChar(message.text);
  w.BVarChar(server_name);
  w.BVarChar("");  // no procedure: batches run no stored procedures
  w.U32(static_cast<uint32_t>(message.line));
  EndLength(w, at);
}

void WriteLoginAck(Writer& w, std::string_view program, const std::array<uint8_t, 4>& version) {
  w.U8(kTokenLoginAck);
  size_t at = BeginLength(w);
  w.U8(1);  // interface: T-SQL
  w.Raw(kTdsVersion74);
  w.BVarChar(program);
  w.Raw(version);
  EndLength(w, at);
}

void WriteDone(Writer& w, Token token, uint16_t status, uint16_t cur_cmd, uint64_t count) {
  w.U8(token);
  w.U16(status);
  w.U16(cur_cmd);
  w.U64(count);
}

void WriteReturnStatus(Writer& w, int32_t status) {
  w.U8(kTokenReturnStatus);
  w.U32(static_cast<uint32_t>(status));
}

void WriteReturnValueInt(Writer& w, uint16_t ordinal, std::string_view name, int32_t value) {
  w.U8(kTokenReturnValue);
  w.U16(ordinal);
  w.BVarChar(name);
  w.U8(kReturnValueOutput);
  w.U32(0);  // user type
  w.U16(0);  // flags
  w.U8(kTypeIntN);
  w.U8(4);
  w.U8(4);
  w.U32(static_cast<uint32_t>(value));
}

}  // namespace tds
