// One client connection: PRELOGIN, LOGIN7 (an engine session is opened for the login), then
// batches and RPC calls executed on that session until the client leaves. Malformed input ends
// the connection with a log line; it never reaches the databases.
//
// Threading: a connection runs on its own thread; its session is used from that thread only.
// Cancels (ATTENTION) are looked for while a reply is being sent, not while the engine runs a
// batch: the engine executes a batch synchronously and has no cancel point, so the cancel is
// answered as soon as the batch is done, and whatever the batch returned is not sent.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "tds/login.h"
#include "tds/packet.h"
#include "tds/reply.h"
#include "tds/requests.h"
#include "tds/stream.h"

namespace tds {

struct ConnectionConfig {
  std::filesystem::path server_dir;
  std::string server_name;  // named in every ERROR and INFO token
};

class Connection {
 public:
  Connection(std::unique_ptr<ByteStream> stream, ConnectionConfig config, uint16_t spid, std::string peer);
  ~Connection();
  // Serves the connection until the client leaves, breaks the protocol or the stream is shut
  // down. Never throws.
  void Run();

 private:
  struct Prepared {
    std::string text;
    std::vector<std::string> names;
  };

  bool Handshake();
  bool Login(const Message& message);
  void SendLoginReply(const Login7& login);
  void Serve();
  void HandleBatch(const Message& message);
  // One log line per error a batch answered, so that the server's log shows what its clients ran into.
  void LogErrors(const engine::BatchResult& result) const;
  void HandleRpc(const Message& message);
  void ExecuteCall(const RpcCall& call, Reply& reply, bool& failed);
  void ExecuteStatement(const std::string& text, const std::vector<std::string>& names,
                        std::span<const RpcParam> values, Reply& reply, bool& failed);
  void AnswerDatabaseChange(Reply& reply, const std::string& before);
  // Sends the reply in packets; a cancel that arrives meanwhile cuts it after the current token.
  void SendReply(Reply& reply);
  // True when the client sent ATTENTION; another message read meanwhile is kept for Serve().
  bool TakeAttention();
  void SendAttentionAck();
  void SendError(const engine::Message& message);

  std::unique_ptr<ByteStream> stream_;
  ConnectionConfig config_;
  std::string peer_;
  PacketReader reader_;
  PacketWriter writer_;
  std::unique_ptr<engine::Session> session_;
  uint32_t tds_version_ = 0;
  std::string user_;
  std::optional<Message> pending_;  // a request read while looking for a cancel
  std::map<int32_t, Prepared> prepared_;
  int32_t next_handle_ = 1;
};

}  // namespace tds
