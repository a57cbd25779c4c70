// Writers of the token stream a server sends: environment changes, messages, the login
// acknowledgement, DONE tokens, return status and return values. Result sets are in
// result_encoding.h.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "engine/engine.h"
#include "tds/wire.h"

namespace tds {

enum Token : uint8_t {
  kTokenReturnStatus = 0x79,
  kTokenColMetadata = 0x81,
  kTokenError = 0xAA,
  kTokenInfo = 0xAB,
  kTokenReturnValue = 0xAC,
  kTokenLoginAck = 0xAD,
  kTokenRow = 0xD1,
  kTokenEnvChange = 0xE3,
  kTokenDone = 0xFD,
  kTokenDoneProc = 0xFE,
  kTokenDoneInProc = 0xFF,
};

enum DoneStatus : uint16_t {
  kDoneFinal = 0x00,
  kDoneMore = 0x01,
  kDoneError = 0x02,
  kDoneCount = 0x10,
  kDoneAttention = 0x20,
};

// CurCmd of a DONE token.
enum CurCmd : uint16_t {
  kCmdNone = 0x00,
  kCmdSelect = 0xC1,
  kCmdInsert = 0xC3,
  kCmdDelete = 0xC4,
  kCmdUpdate = 0xC5,
};

enum EnvChangeType : uint8_t {
  kEnvDatabase = 1,
  kEnvLanguage = 2,
  kEnvPacketSize = 4,
  kEnvCollation = 7,
};

// Latin1_General_CI_AS: LCID 0x0409 with the case-insensitive flags, sort id 52 (code page 1252).
inline constexpr std::array<uint8_t, 5> kCollation = {0x09, 0x04, 0xD0, 0x00, 0x34};
inline constexpr std::array<uint8_t, 4> kTdsVersion74 = {0x74, 0x00, 0x00, 0x04};

// Text-valued change (database, language, packet size).
void WriteEnvChange(Writer& w, EnvChangeType type, std::string_view new_value, std::string_view old_value);
void WriteCollationChange(Writer& w);
// ERROR for severity > 10, INFO otherwise; `line` as the engine reports it.
void WriteMessage(Writer& w, const engine::Message& message, std::string_view server_name);
void WriteLoginAck(Writer& w, std::string_view program, const std::array<uint8_t, 4>& version);
void WriteDone(Writer& w, Token token, uint16_t status, uint16_t cur_cmd, uint64_t count);
void WriteReturnStatus(Writer& w, int32_t status);
// An int output parameter (the handle of sp_prepare and sp_prepexec).
void WriteReturnValueInt(Writer& w, uint16_t ordinal, std::string_view name, int32_t value);

}  // namespace tds
