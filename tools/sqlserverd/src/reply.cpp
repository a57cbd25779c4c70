// Reply building (see reply.h).
#include "tds/reply.h"

#include <algorithm>

#include "tds/result_encoding.h"

namespace tds {
namespace {

uint16_t CurCmdOf(engine::StatementResult::Command command) {
  using C = engine::StatementResult::Command;
  switch (command) {
    case C::kSelect:
      return kCmdSelect;
    case C::kInsert:
      return kCmdInsert;
    case C::kUpdate:
      return kCmdUpdate;
    case C::kDelete:
      return kCmdDelete;
    case C::kOther:
      break;
  }
  return kCmdNone;
}

}  // namespace

void Reply::Done(tds::Token token, uint16_t status, uint16_t cur_cmd, uint64_t count) {
  Writer& w = Token();
  last_done_ = bytes_.size();
  WriteDone(w, token, static_cast<uint16_t>(status | kDoneMore), cur_cmd, count);
}

void Reply::Message(const engine::Message& message, std::string_view server_name) {
  WriteMessage(Token(), message, server_name);
}

void Reply::Rows(const engine::ResultSet& rows, bool counted, tds::Token done_token) {
  ResultEncoder encoder(rows);
  encoder.WriteMetadata(Token());
  for (const auto& row : rows.rows) encoder.WriteRow(Token(), row);
  Done(done_token, counted ? kDoneCount : kDoneFinal, kCmdSelect, counted ? rows.rows.size() : 0);
}

void Reply::Finish(bool error) {
  if (!starts_.empty() && starts_.back() == last_done_) {
    bytes_[last_done_ + 1] &= static_cast<uint8_t>(~kDoneMore);  // status, low byte
    return;
  }
  Writer& w = Token();
  WriteDone(w, kTokenDone, error ? kDoneError : kDoneFinal, kCmdNone, 0);
}

size_t Reply::NextTokenStart(size_t offset) const {
  auto it = std::lower_bound(starts_.begin(), starts_.end(), offset);
  return it == starts_.end() ? bytes_.size() : *it;
}

namespace {

// Closes one statement's items: a DONE with DONE_ERROR unless a DONE already ended them.
class StatementCloser {
 public:
  StatementCloser(Reply& reply, tds::Token done_token) : reply_(reply), done_token_(done_token) {}
  void Item(const engine::StatementResult& item) {
    if (item.statement != statement_) Close();
    statement_ = item.statement;
    if (item.kind == engine::StatementResult::Kind::kMessage) {
      if (item.is_error) error_ = true;
      open_ = true;
    } else {
      open_ = error_;  // a count or row set after an error still needs the DONE_ERROR
    }
    command_ = CurCmdOf(item.command);
  }
  void Close() {
    if (open_ && error_) reply_.Done(done_token_, kDoneError, command_, 0);
    open_ = false;
    error_ = false;
  }

 private:
  Reply& reply_;
  tds::Token done_token_;
  int statement_ = -1;
  bool open_ = false;
  bool error_ = false;
  uint16_t command_ = kCmdNone;
};

}  // namespace

bool AppendBatchResult(Reply& reply, const engine::BatchResult& result, tds::Token done_token,
                       std::string_view server_name) {
  StatementCloser closer(reply, done_token);
  bool failed = false;
  for (const engine::StatementResult& item : result.items) {
    closer.Item(item);
    switch (item.kind) {
      case engine::StatementResult::Kind::kRows:
        reply.Rows(item.rows, item.counted, done_token);
        break;
      case engine::StatementResult::Kind::kCount:
        reply.Done(done_token, kDoneCount, CurCmdOf(item.command), static_cast<uint64_t>(item.count));
        break;
      case engine::StatementResult::Kind::kMessage:
        reply.Message(item.message, server_name);
        failed = failed || item.is_error;
        break;
    }
  }
  closer.Close();
  return failed;
}

}  // namespace tds
