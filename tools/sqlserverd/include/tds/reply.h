// A reply message under construction: the token stream, where each token starts (so a cancel
// can cut the reply between two tokens) and the DONE rule: every DONE but the reply's last
// token carries DONE_MORE.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "tds/tokens.h"
#include "tds/wire.h"

namespace tds {

class Reply {
 public:
  Reply() : writer_(bytes_) {}
  Reply(const Reply&) = delete;
  Reply& operator=(const Reply&) = delete;

  // Writer for the next token; call before writing each token so the cut points are known.
  Writer& Token() {
    starts_.push_back(bytes_.size());
    return writer_;
  }
  // A DONE, DONEPROC or DONEINPROC, written with DONE_MORE (Finish clears it on the last one).
  void Done(tds::Token token, uint16_t status, uint16_t cur_cmd, uint64_t count);
  void Message(const engine::Message& message, std::string_view server_name);
  // COLMETADATA, the rows and the DONE of a SELECT.
  void Rows(const engine::ResultSet& rows, bool counted, tds::Token done_token);
  // Makes the stream end properly: a trailing DONE loses DONE_MORE, anything else gets a final
  // DONE (with DONE_ERROR when `error`).
  void Finish(bool error);

  [[nodiscard]] const Bytes& bytes() const { return bytes_; }
  // Offset of the first token starting at or after `offset` (the size when none does).
  [[nodiscard]] size_t NextTokenStart(size_t offset) const;

 private:
  Bytes bytes_;
  Writer writer_;
  std::vector<size_t> starts_;
  size_t last_done_ = SIZE_MAX;  // offset of the last DONE-type token
};

// Appends what a batch returned: messages as INFO/ERROR, row sets and counts, each statement
// closed by a DONE (`done_token`: DONE for a batch, DONEINPROC inside an RPC) with its count
// and DONE_ERROR when it failed. Returns true when the batch reported an error.
bool AppendBatchResult(Reply& reply, const engine::BatchResult& result, tds::Token done_token,
                       std::string_view server_name);

}  // namespace tds
