// Connection flow: handshake, login, requests (see connection.h).
#include "tds/connection.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "messages.h"
#include "tds/log.h"
#include "tds/tokens.h"
#include "value_access.h"

namespace tds {
namespace {

// PRELOGIN and LOGIN7 are a few hundred bytes; nothing bigger is buffered before a login.
constexpr size_t kMaxLoginMessage = size_t{64} * 1024;
constexpr std::string_view kProgramName = "clubiqa-sqlserverd";
// The server version LOGINACK reports (matching PRELOGIN's): clients pick features by it.
constexpr std::array<uint8_t, 4> kProgramVersion = {15, 0, 0x07, 0xD0};

size_t NegotiatedPacketSize(uint32_t requested) {
  if (requested == 0) return kDefaultPacketSize;
  return std::clamp<size_t>(requested, kMinPacketSize, kMaxPacketSize);
}

std::string Quoted(std::string_view s) { return "'" + std::string(s) + "'"; }

std::string TextParam(const RpcParam& p) { return p.value.is_null() ? std::string() : StringOf(p.value); }

}  // namespace

Connection::Connection(std::unique_ptr<ByteStream> stream, ConnectionConfig config, uint16_t spid, std::string peer)
    : stream_(std::move(stream)),
      config_(std::move(config)),
      peer_(std::move(peer)),
      reader_(*stream_, kMaxLoginMessage),
      writer_(*stream_, spid) {}

Connection::~Connection() = default;

void Connection::Run() {
  try {
    if (Handshake()) Serve();
  } catch (const ProtocolError& e) {
    LogLine(peer_ + ": closing the connection: " + e.what());
  } catch (const StreamClosed&) {
    // The client went away or the server is shutting down: nothing to answer.
  } catch (const engine::SqlError& e) {
    LogLine(peer_ + ": closing the connection: the session cannot go on: " + e.text());
  } catch (const std::exception& e) {
    LogLine(peer_ + ": closing the connection: " + e.what());
  }
  // Close the session (and its databases) before the line that says the connection is gone.
  session_.reset();
  LogLine(peer_ + ": connection closed" + (user_.empty() ? std::string() : " (login " + Quoted(user_) + ")"));
}

bool Connection::Handshake() {
  std::optional<Message> first = reader_.ReadMessage();
  if (!first) return false;
  if (first->type != static_cast<uint8_t>(PacketType::kPrelogin)) {
    throw ProtocolError("the first message is not PRELOGIN");
  }
  Prelogin prelogin = ParsePrelogin(first->payload);
  writer_.Send(PacketType::kReply, PreloginReply());
  if (prelogin.RequiresEncryption()) {
    // The client gives up on NOT_SUP; closing makes sure it cannot wait for anything else.
    LogLine(peer_ + ": closing the connection: the client requires encryption, which this server does not offer");
    return false;
  }
  std::optional<Message> login = reader_.ReadMessage();
  if (!login) return false;
  if (login->type != static_cast<uint8_t>(PacketType::kLogin7)) throw ProtocolError("LOGIN7 expected");
  return Login(*login);
}

bool Connection::Login(const Message& message) {
  Login7 login = ParseLogin7(message.payload);
  tds_version_ = login.tds_version;
  engine::OpenOptions options;
  options.data_source = config_.server_dir;
  options.initial_catalog = login.database;
  options.user_id = login.user_name;
  options.password = login.password;
  try {
    session_ = engine::Session::Open(options);
  } catch (const engine::SqlError& e) {
    Reply reply;
    reply.Message(e.message(), config_.server_name);
    for (const engine::Message& m : e.follow()) reply.Message(m, config_.server_name);
    reply.Finish(true);
    writer_.Send(PacketType::kReply, reply.bytes());
    LogLine(peer_ + ": login " + Quoted(login.user_name) + " refused: Msg " + std::to_string(e.number()) + ": " +
            e.text());
    return false;
  }
  user_ = login.user_name;
  SendLoginReply(login);
  LogLine(peer_ + ": connection opened: login " + Quoted(user_) + ", database " + Quoted(session_->current_database()) +
          ", application " + Quoted(login.app_name));
  return true;
}

void Connection::SendLoginReply(const Login7& login) {
  const size_t packet_size = NegotiatedPacketSize(login.packet_size);
  const std::string db = session_->current_database();
  Reply reply;
  WriteEnvChange(reply.Token(), kEnvDatabase, db, "master");
  reply.Message(msg::ChangedDatabase(db), config_.server_name);
  WriteCollationChange(reply.Token());
  WriteEnvChange(reply.Token(), kEnvLanguage, "us_english", "");
  reply.Message(msg::ChangedLanguage(), config_.server_name);
  WriteEnvChange(reply.Token(), kEnvPacketSize, std::to_string(packet_size), std::to_string(kDefaultPacketSize));
  WriteLoginAck(reply.Token(), kProgramName, kProgramVersion);
  reply.Finish(false);
  writer_.Send(PacketType::kReply, reply.bytes());
  writer_.set_packet_size(packet_size);
  reader_.set_max_message(kMaxMessageSize);
}

void Connection::Serve() {
  for (;;) {
    std::optional<Message> message = pending_ ? std::exchange(pending_, std::nullopt) : reader_.ReadMessage();
    if (!message) return;
    switch (static_cast<PacketType>(message->type)) {
      case PacketType::kSqlBatch:
        HandleBatch(*message);
        break;
      case PacketType::kRpc:
        HandleRpc(*message);
        break;
      case PacketType::kAttention:
        // A cancel after the reply was complete: the client still waits for its acknowledgement.
        SendAttentionAck();
        break;
      case PacketType::kTransactionManager:
        SendError(msg::TransactionRequestsUnsupported());
        break;
      default: {
        std::array<char, 64> text{};
        std::snprintf(text.data(), text.size(), "unexpected message type 0x%02X", message->type);
        throw ProtocolError(text.data());
      }
    }
  }
}

void Connection::HandleBatch(const Message& message) {
  const std::string text = ParseSqlBatch(message.payload, HasAllHeaders(tds_version_));
  const std::string before = session_->current_database();
  engine::BatchResult result = session_->Execute(text);
  LogErrors(result);
  Reply reply;
  bool failed = AppendBatchResult(reply, result, kTokenDone, config_.server_name);
  AnswerDatabaseChange(reply, before);
  reply.Finish(failed);
  SendReply(reply);
}

void Connection::LogErrors(const engine::BatchResult& result) const {
  for (const engine::StatementResult& item : result.items) {
    if (item.kind != engine::StatementResult::Kind::kMessage || !item.is_error) continue;
    const engine::Message& m = item.message;
    LogLine(peer_ + ": Msg " + std::to_string(m.number) + ", Level " + std::to_string(m.severity) + ", State " +
            std::to_string(m.state) + ", Line " + std::to_string(m.line) + ": " + m.text);
  }
}

void Connection::HandleRpc(const Message& message) {
  std::vector<RpcCall> calls;
  try {
    calls = ParseRpc(message.payload, HasAllHeaders(tds_version_));
  } catch (const RequestError& e) {
    SendError(e.message());
    return;
  }
  Reply reply;
  bool failed = false;
  for (const RpcCall& call : calls) ExecuteCall(call, reply, failed);
  reply.Finish(failed);
  SendReply(reply);
}

void Connection::ExecuteCall(const RpcCall& call, Reply& reply, bool& failed) {
  const std::vector<RpcParam>& p = call.params;
  const std::span<const RpcParam> all(p);
  bool call_failed = false;
  std::optional<int32_t> handle_out;
  const auto fail = [&](const engine::Message& m) {
    reply.Message(m, config_.server_name);
    call_failed = true;
  };
  switch (ResolveProcId(call)) {
    case kProcExecuteSql:
      if (p.empty()) {
        fail(msg::MissingProcedureArgument("sp_executesql", "@stmt"));
        break;
      }
      ExecuteStatement(TextParam(p[0]), DeclaredNames(p.size() > 1 ? TextParam(p[1]) : ""),
                       all.subspan(std::min<size_t>(2, p.size())), reply, call_failed);
      break;
    case kProcPrepare:
    case kProcPrepExec: {
      if (p.size() < 3) {
        fail(
            msg::MissingProcedureArgument(ResolveProcId(call) == kProcPrepare ? "sp_prepare" : "sp_prepexec", "@stmt"));
        break;
      }
      const int32_t handle = next_handle_++;
      prepared_[handle] = Prepared{TextParam(p[2]), DeclaredNames(TextParam(p[1]))};
      handle_out = handle;
      if (ResolveProcId(call) == kProcPrepExec) {
        ExecuteStatement(prepared_[handle].text, prepared_[handle].names, all.subspan(3), reply, call_failed);
      }
      break;
    }
    case kProcExecute: {
      const int32_t handle = p.empty() || p[0].value.is_null() ? 0 : static_cast<int32_t>(IntOf(p[0].value));
      auto it = prepared_.find(handle);
      if (it == prepared_.end()) {
        fail(msg::PreparedHandleNotFound(handle));
        break;
      }
      ExecuteStatement(it->second.text, it->second.names, all.subspan(1), reply, call_failed);
      break;
    }
    case kProcUnprepare:
      if (!p.empty() && !p[0].value.is_null()) prepared_.erase(static_cast<int32_t>(IntOf(p[0].value)));
      break;
    default:
      fail(msg::ProcedureNotFound(call.proc_name.empty() ? std::to_string(call.proc_id) : call.proc_name));
      break;
  }
  WriteReturnStatus(reply.Token(), call_failed ? -6 : 0);
  if (handle_out) WriteReturnValueInt(reply.Token(), 0, p[0].name, *handle_out);
  reply.Done(kTokenDoneProc, call_failed ? kDoneError : kDoneFinal, kCmdNone, 0);
  failed = failed || call_failed;
}

void Connection::ExecuteStatement(const std::string& text, const std::vector<std::string>& names,
                                  std::span<const RpcParam> values, Reply& reply, bool& failed) {
  std::vector<engine::NamedValue> bound;
  for (size_t i = 0; i < values.size(); ++i) {
    std::string name = !values[i].name.empty() ? values[i].name : i < names.size() ? names[i] : std::string();
    bound.push_back(engine::NamedValue{std::move(name), values[i].value});
  }
  const std::string before = session_->current_database();
  engine::BatchResult result = session_->Execute(text, std::span<const engine::NamedValue>(bound));
  LogErrors(result);
  if (AppendBatchResult(reply, result, kTokenDoneInProc, config_.server_name)) failed = true;
  AnswerDatabaseChange(reply, before);
}

void Connection::AnswerDatabaseChange(Reply& reply, const std::string& before) {
  const std::string now = session_->current_database();
  if (now == before) return;
  WriteEnvChange(reply.Token(), kEnvDatabase, now, before);
  reply.Message(msg::ChangedDatabase(now), config_.server_name);
}

bool Connection::TakeAttention() {
  if (pending_ || !stream_->ReadReady()) return false;
  std::optional<Message> message = reader_.ReadMessage();
  if (!message) throw StreamClosed("client left while a reply was pending");
  if (message->type == static_cast<uint8_t>(PacketType::kAttention)) return true;
  // A client that sends its next request without waiting: served after this reply.
  pending_ = std::move(message);
  return false;
}

void Connection::SendAttentionAck() {
  Bytes bytes;
  Writer w(bytes);
  WriteDone(w, kTokenDone, kDoneAttention, kCmdNone, 0);
  writer_.Send(PacketType::kReply, bytes);
}

void Connection::SendReply(Reply& reply) {
  if (TakeAttention()) {
    SendAttentionAck();
    return;
  }
  const Bytes& bytes = reply.bytes();
  const std::span<const uint8_t> all(bytes);
  size_t sent = 0;
  for (;;) {
    const size_t n = std::min(writer_.max_payload(), bytes.size() - sent);
    const bool last = sent + n == bytes.size();
    writer_.SendPacket(PacketType::kReply, all.subspan(sent, n), last);
    sent += n;
    if (last) return;
    if (!TakeAttention()) continue;
    // Finish the token the client is inside, then acknowledge the cancel in the same message.
    Bytes tail(bytes.begin() + static_cast<std::ptrdiff_t>(sent),
               bytes.begin() + static_cast<std::ptrdiff_t>(reply.NextTokenStart(sent)));
    Writer w(tail);
    WriteDone(w, kTokenDone, kDoneAttention, kCmdNone, 0);
    for (size_t at = 0; at < tail.size();) {
      const size_t m = std::min(writer_.max_payload(), tail.size() - at);
      writer_.SendPacket(PacketType::kReply, std::span<const uint8_t>(tail).subspan(at, m), at + m == tail.size());
      at += m;
    }
    return;
  }
}

void Connection::SendError(const engine::Message& message) {
  Reply reply;
  reply.Message(message, config_.server_name);
  reply.Finish(true);
  SendReply(reply);
}

}  // namespace tds
