// trace.jsonl: one JSON object per batch, appended with a single write (O_APPEND) so that
// several processes tracing into one server directory never interleave within a line.
#include <fcntl.h>

#include <array>
#include <cstdio>
#include <string>

#include "server.h"

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
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
          std::array<char, 8> buf{};
          std::snprintf(buf.data(), buf.size(), "\\u%04x", c);
          out += buf.data();
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

#ifndef _WIN32
void WriteAll(int fd, const std::string& line) {
  size_t done = 0;
  while (done < line.size()) {
    ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
}

// The trace file stays open between batches; when someone removed it meanwhile (support staff
// clearing the trace), the next line starts a new file.
bool StillLinked(int fd) {
  struct stat st;
  return ::fstat(fd, &st) == 0 && st.st_nlink > 0;
}
#endif

std::string TraceLine(std::string_view db, std::string_view sql, const BatchResult& result) {
  std::string line;
  line.reserve(db.size() + sql.size() + 64);
  line += "{\"db\":";
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
  std::string line = TraceLine(db, sql, result);
#ifdef _WIN32
  std::filesystem::path file = dir_ / "trace.jsonl";
  int fd = _wopen(file.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY, 0644);
  if (fd < 0) return;
  _write(fd, line.data(), static_cast<unsigned>(line.size()));
  _close(fd);
#else
  if (trace_fd_ >= 0 && !StillLinked(trace_fd_)) CloseTrace();
  if (trace_fd_ < 0)
    trace_fd_ = ::open((dir_ / "trace.jsonl").c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (trace_fd_ < 0) return;  // tracing is best effort: it never fails a batch
  WriteAll(trace_fd_, line);
#endif
}

void Server::CloseTrace() {
#ifndef _WIN32
  if (trace_fd_ >= 0) ::close(trace_fd_);
#endif
  trace_fd_ = -1;
}

}  // namespace engine
