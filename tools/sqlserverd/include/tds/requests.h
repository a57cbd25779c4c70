// Client requests after the login: a SQL batch (text) and RPC calls (a procedure by id or name
// with typed parameters). Parameter values become engine values; strings arrive as UTF-8.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/engine.h"

namespace tds {

// RPC procedure ids of the system procedures a client calls by number.
enum ProcId : uint16_t {
  kProcExecuteSql = 10,
  kProcPrepare = 11,
  kProcExecute = 12,
  kProcPrepExec = 13,
  kProcUnprepare = 15,
};

struct RpcParam {
  std::string name;  // "@P1", or empty when the client passes it by position
  bool output = false;
  engine::Value value;
};

struct RpcCall {
  uint16_t proc_id = 0;   // 0 when called by name
  std::string proc_name;  // as sent, when called by name
  std::vector<RpcParam> params;
};

// A request that is well-formed but cannot run (a value out of range): answered with an error
// message, the connection stays open.
class RequestError : public std::runtime_error {
 public:
  explicit RequestError(engine::Message message) : std::runtime_error(message.text), message_(std::move(message)) {}
  [[nodiscard]] const engine::Message& message() const { return message_; }

 private:
  engine::Message message_;
};

// The text of a SQL_BATCH message. Throws ProtocolError on a malformed header.
std::string ParseSqlBatch(std::span<const uint8_t> payload, bool all_headers);
// The calls of an RPC message (several when the client batches them). Throws ProtocolError on
// malformed input or a parameter type this server does not read.
std::vector<RpcCall> ParseRpc(std::span<const uint8_t> payload, bool all_headers);

// The procedure a call names: its id, also when the client called it by name; 0 for others.
uint16_t ResolveProcId(const RpcCall& call);

// Parameter names of a declaration list such as "@P1 int, @P2 decimal(10,2) OUTPUT".
std::vector<std::string> DeclaredNames(std::string_view declaration);

}  // namespace tds
