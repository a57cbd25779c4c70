// Support for tests that drive the upgrader's own database access (DatabaseAccess, the statement runners)
// against a scratch embedded server: writing SysDBAdo.INI beside the "executable", turning on the engine's
// batch trace, and reading back exactly which texts reached the server.
//
// The trace is the only witness of what was really sent: the engine appends one JSON object per batch to
// trace.jsonl in the server directory when server.ini says "[Server]" / "Trace=1". The administrator session
// of TestServer is opened before server.ini exists, so its own batches (CREATE DATABASE ...) stay out of it.
#ifndef CLUBIQA_TESTS_DB_ACCESS_TEST_SUPPORT_H_
#define CLUBIQA_TESTS_DB_ACCESS_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "db/connection.h"
#include "layer_test_server.h"

namespace db_test {

// One line of trace.jsonl: the database the batch started on, its text, and either the rows it touched or
// the first error.
struct TraceEntry {
  std::string db;
  std::string sql;
  int64_t rows = 0;
  int error = 0;
  std::string message;
};

namespace trace_detail {

// Reads one JSON string starting at text[pos] (the opening quote); leaves `pos` behind the closing quote.
inline std::string ReadJsonString(std::string_view text, size_t& pos) {
  std::string out;
  ++pos;
  while (pos < text.size() && text[pos] != '"') {
    char c = text[pos++];
    if (c != '\\') {
      out += c;
      continue;
    }
    char escape = text[pos++];
    switch (escape) {
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case 't':
        out += '\t';
        break;
      case 'b':
        out += '\b';
        break;
      case 'f':
        out += '\f';
        break;
      case 'u':
        out += static_cast<char>(std::strtol(std::string(text.substr(pos, 4)).c_str(), nullptr, 16));
        pos += 4;
        break;
      default:
        out += escape;
    }
  }
  ++pos;
  return out;
}

inline TraceEntry ParseTraceLine(std::string_view line) {
  TraceEntry entry;
  size_t pos = 1;  // behind "{"
  while (pos < line.size() && line[pos] == '"') {
    const std::string key = ReadJsonString(line, pos);
    ++pos;  // ':'
    if (line[pos] == '"') {
      const std::string value = ReadJsonString(line, pos);
      if (key == "db") entry.db = value;
      if (key == "sql") entry.sql = value;
      if (key == "message") entry.message = value;
    } else {
      const size_t end = line.find_first_of(",}", pos);
      const int64_t value = std::stoll(std::string(line.substr(pos, end - pos)));
      if (key == "rows") entry.rows = value;
      if (key == "error") entry.error = static_cast<int>(value);
      pos = end;
    }
    if (pos < line.size() && line[pos] == ',') ++pos;
  }
  return entry;
}

}  // namespace trace_detail

// Every batch of a trace.jsonl, in order; nothing when the file does not exist.
inline std::vector<TraceEntry> ReadTrace(const std::filesystem::path& file) {
  std::vector<TraceEntry> entries;
  std::ifstream in(file, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) entries.push_back(trace_detail::ParseTraceLine(line));
  }
  return entries;
}

// Shows CR, LF and tabs, so that a whole trace reads as one line per batch and line ends can be compared.
inline std::string Visible(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "<CR>";
    } else if (c == '\n') {
      out += "<LF>";
    } else if (c == '\t') {
      out += "<TAB>";
    } else {
      out += c;
    }
  }
  return out;
}

// A scratch server whose executable directory is the TestServer's base directory.
class AccessServer : public TestServer {
 public:
  // Turns on the batch trace; with `login` non-empty also login checking with that one login. Both go into one
  // server.ini, as AddLogin alone would overwrite the trace switch.
  explicit AccessServer(std::string_view login = "", std::string_view password = "") {
    WriteServerIni(login, password);
  }

  void WriteServerIni(std::string_view login, std::string_view password) {
    std::ofstream ini(server_dir() / "server.ini");
    ini << "[Server]\nTrace=1\n";
    if (!login.empty()) ini << "[Logins]\n" << login << "=" << password << "\n";
  }

  std::filesystem::path server_dir() const { return base_dir() / kServerDir; }
  std::filesystem::path settings_path() const { return base_dir() / "SysDBAdo.INI"; }

  // Writes SysDBAdo.INI beside the "executable" with exactly `text`.
  void WriteSettings(std::string_view text) const { std::ofstream(settings_path(), std::ios::binary) << text; }

  // The usual settings of the embedded server with a server login, the server directory named relatively.
  void WriteEmbeddedSettings(std::string_view win_auth = "N", std::string_view user = "sa",
                             std::string_view password = "pw") const {
    WriteSettings("[Datenbank]\r\nProvider=" + std::string(db::kEmbeddedProvider) + "\r\nPassword=" +
                  std::string(password) + "\r\nPersist Security Info=False\r\nUser ID=" + std::string(user) +
                  "\r\nData Source=" + std::string(kServerDir) + "\r\nWinAuth=" + std::string(win_auth) + "\r\n");
  }

  // Every batch traced so far.
  std::vector<TraceEntry> Trace() const { return ReadTrace(server_dir() / "trace.jsonl"); }

  // The texts of every batch traced so far, in order.
  std::vector<std::string> TracedSql() const {
    std::vector<std::string> texts;
    for (const TraceEntry& entry : Trace()) texts.push_back(entry.sql);
    return texts;
  }

  // The trace as one text: "<db>: <sql> -> rows n" or "-> error n", one line per batch, line ends visible.
  std::string TraceLog() const {
    std::string log;
    for (const TraceEntry& entry : Trace()) {
      log += entry.db + ": " + Visible(entry.sql) + " -> ";
      log += entry.error != 0 ? "error " + std::to_string(entry.error) : "rows " + std::to_string(entry.rows);
      log += "\n";
    }
    return log;
  }

  // Forgets what was traced so far, so that a test can look at one step alone.
  void ClearTrace() const {
    std::error_code ignored;
    std::filesystem::remove(server_dir() / "trace.jsonl", ignored);
  }
};

}  // namespace db_test

#endif  // CLUBIQA_TESTS_DB_ACCESS_TEST_SUPPORT_H_
