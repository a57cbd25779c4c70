// trace.jsonl: one JSON object per batch, appended with a single write so that several
// processes tracing into one server directory never interleave within a line.
#include <fcntl.h>

#include <cstdio>
#include <string>

#include "server.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace engine {

namespace {

void AppendJsonString(std::string& out, std::string_view s) {
  out += '"';
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (c < 0x20 || c == 0x7f) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  out += '"';
}

// Rows the batch affected (row counts) plus rows it returned (row sets).
int64_t TracedRows(const BatchResult& result) {
  int64_t rows = 0;
  for (const StatementResult& item : result.items) {
    if (item.kind == StatementResult::Kind::kCount) rows += item.count;
    if (item.kind == StatementResult::Kind::kRows) rows += static_cast<int64_t>(item.rows.rows.size());
  }
  return rows;
}

void AppendLine(const std::filesystem::path& file, const std::string& line) {
#ifdef _WIN32
  int fd = _wopen(file.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0644);
  if (fd < 0) return;
  _write(fd, line.data(), static_cast<unsigned>(line.size()));
  _close(fd);
#else
  int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;  // tracing is best effort: it never fails a batch
  size_t done = 0;
  while (done < line.size()) {
    ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
#endif
}

std::string TraceLine(std::string_view db, std::string_view sql, const BatchResult& result) {
  std::string line = "{\"db\":";
  AppendJsonString(line, db);
  line += ",\"sql\":";
  AppendJsonString(line, sql);
  if (const Message* error = result.FirstError()) {
    line += ",\"error\":" + std::to_string(error->number) + ",\"message\":";
    AppendJsonString(line, error->text);
  } else {
    line += ",\"rows\":" + std::to_string(TracedRows(result));
  }
  return line + "}\n";
}

}  // namespace

void Server::Trace(std::string_view db, std::string_view sql, const BatchResult& result) {
  if (!trace_) return;
  AppendLine(dir_ / "trace.jsonl", TraceLine(db, sql, result));
}

}  // namespace engine
