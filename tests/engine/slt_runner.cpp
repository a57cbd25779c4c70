// Runs the engine's sqllogictest files (tests/engine/**/*.test) as GoogleTest cases.
//
//   engine_slt [--transport=tds] [gtest flags] [file.test | directory ...]
//
// Without paths it runs every .test file below the source tree's tests/engine. Each file gets a
// fresh server directory in the temp folder with a database `test`, and a session `default`
// opened on it; tests/engine/README.md describes the records. A mismatch is reported with the
// file and line of its record, the batch, and the expected and actual output, and the file goes
// on with its next record, so one run shows every broken record. Set CLUBIQA_SLT_KEEP=1 to keep
// the server directory for a look with clubiqa-sqlcmd or the sqlite3 shell. With --transport=tds
// every batch goes over the wire protocol instead (slt_transport.h); the expected output is the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/engine.h"
#include "slt_transport.h"

namespace {

namespace fs = std::filesystem;

constexpr int kMaxFailuresPerFile = 20;
constexpr std::string_view kDefaultConnection = "default";
constexpr std::string_view kTestDatabase = "test";

// ------------------------------------------------------------------------------------------
// The file format
// ------------------------------------------------------------------------------------------

enum class RecordKind { kStatementOk, kStatementCount, kStatementError, kQuery, kRestart, kConnection };

struct Record {
  RecordKind kind = RecordKind::kStatementOk;
  int line = 0;  // line of the record's first line, for messages
  std::string sql;
  int64_t count = 0;                      // statement count N
  int error_number = 0;                   // statement error N
  std::optional<std::string> error_text;  // statement error N text
  bool rowsort = false;
  std::vector<std::string> expected;  // query rows, one line per row
  std::string connection;             // connection NAME
};

// A malformed file: reported as one failure at its line, nothing of the file runs.
class FormatError : public std::runtime_error {
 public:
  FormatError(int line, const std::string& what) : std::runtime_error(what), line_(line) {}
  int line() const { return line_; }

 private:
  int line_;
};

bool IsBlank(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::istringstream in{std::string(line)};
  for (std::string w; in >> w;) words.push_back(w);
  return words;
}

int64_t ParseNumber(const std::string& word, int line) {
  size_t used = 0;
  int64_t n = 0;
  try {
    n = std::stoll(word, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != word.size()) throw FormatError(line, "expected a number, found '" + word + "'");
  return n;
}

class TestFileParser {
 public:
  explicit TestFileParser(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  std::vector<Record> Parse() {
    std::vector<Record> records;
    while (SkipSeparators()) records.push_back(ParseRecord());
    return records;
  }

 private:
  // Skips blank and comment lines between records; false at the end of the file.
  bool SkipSeparators() {
    while (next_ < lines_.size() && (IsBlank(lines_[next_]) || lines_[next_].starts_with("#"))) ++next_;
    return next_ < lines_.size();
  }

  int LineNumber() const { return static_cast<int>(next_) + 1; }

  Record ParseRecord() {
    Record record;
    record.line = LineNumber();
    const std::string header = lines_[next_++];
    const std::vector<std::string> words = Words(header);
    if (words[0] == "statement" && words.size() >= 2) {
      ParseStatementHeader(header, words, record);
      record.sql = ReadSql(record.line, /*allow_separator=*/false);
    } else if (words[0] == "query" && (words.size() == 1 || (words.size() == 2 && words[1] == "rowsort"))) {
      record.kind = RecordKind::kQuery;
      record.rowsort = words.size() == 2;
      record.sql = ReadSql(record.line, /*allow_separator=*/true);
      record.expected = ReadExpected(record.line);
    } else if (words[0] == "restart" && words.size() == 1) {
      record.kind = RecordKind::kRestart;
      ExpectEndOfRecord();
    } else if (words[0] == "connection" && words.size() == 2) {
      record.kind = RecordKind::kConnection;
      record.connection = words[1];
      ExpectEndOfRecord();
    } else {
      throw FormatError(record.line, "unknown record '" + header + "'");
    }
    return record;
  }

  static void ParseStatementHeader(const std::string& header, const std::vector<std::string>& words, Record& record) {
    if (words[1] == "ok" && words.size() == 2) {
      record.kind = RecordKind::kStatementOk;
    } else if (words[1] == "count" && words.size() == 3) {
      record.kind = RecordKind::kStatementCount;
      record.count = ParseNumber(words[2], record.line);
    } else if (words[1] == "error" && words.size() >= 3) {
      record.kind = RecordKind::kStatementError;
      record.error_number = static_cast<int>(ParseNumber(words[2], record.line));
      // The text is everything after the number, verbatim: messages have significant blanks.
      const size_t number_at = header.find(words[2], header.find("error") + 5);
      const size_t text_at = number_at + words[2].size() + 1;
      if (text_at < header.size()) record.error_text = header.substr(text_at);
    } else {
      throw FormatError(record.line, "unknown record '" + header + "'");
    }
  }

  // The batch: every line up to a blank line, or up to `----` in a query.
  std::string ReadSql(int record_line, bool allow_separator) {
    std::string sql;
    while (next_ < lines_.size() && !IsBlank(lines_[next_])) {
      if (lines_[next_] == "----") {
        if (!allow_separator) throw FormatError(LineNumber(), "'----' in a statement record");
        break;
      }
      if (!sql.empty()) sql += '\n';
      sql += lines_[next_++];
    }
    if (sql.empty()) throw FormatError(record_line, "record without SQL text");
    return sql;
  }

  // Expected rows after `----`, up to an empty line. A line of blanks is a row (char(n) values
  // keep their padding), so only a truly empty line ends the record.
  std::vector<std::string> ReadExpected(int record_line) {
    if (next_ >= lines_.size() || lines_[next_] != "----") {
      throw FormatError(record_line, "query without '----' (an empty result is '----' and nothing after it)");
    }
    ++next_;
    std::vector<std::string> rows;
    while (next_ < lines_.size() && !lines_[next_].empty()) rows.push_back(lines_[next_++]);
    return rows;
  }

  void ExpectEndOfRecord() {
    if (next_ < lines_.size() && !IsBlank(lines_[next_])) {
      throw FormatError(LineNumber(), "unexpected text after the record: '" + lines_[next_] + "'");
    }
  }

  std::vector<std::string> lines_;
  size_t next_ = 0;
};

std::vector<std::string> ReadLines(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
  }
  return lines;
}

// ------------------------------------------------------------------------------------------
// Rendering results
// ------------------------------------------------------------------------------------------

std::string RenderValue(const std::optional<std::string>& value) {
  if (!value) return "NULL";
  // An empty string would be indistinguishable from a missing column or a blank line.
  if (value->empty()) return "(empty)";
  return *value;
}

std::vector<std::string> RenderRows(const std::vector<std::vector<std::optional<std::string>>>& rows) {
  std::vector<std::string> lines;
  lines.reserve(rows.size());
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      if (i > 0) line += '\t';
      line += RenderValue(row[i]);
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::string RenderMessage(const engine::Message& m) {
  return "Msg " + std::to_string(m.number) + ", Level " + std::to_string(m.severity) + ", State " +
         std::to_string(m.state) + ", Line " + std::to_string(m.line) + ": " + m.text;
}

std::string Indent(std::string_view text) {
  std::string out = "    ";
  for (char c : text) {
    out += c;
    if (c == '\n') out += "    ";
  }
  return out;
}

std::string RenderLines(const std::vector<std::string>& lines) {
  if (lines.empty()) return "    (no rows)\n";
  std::string out;
  for (const auto& line : lines) out += "    " + line + "\n";
  return out;
}

using slt::Outcome;

// ------------------------------------------------------------------------------------------
// Running a file
// ------------------------------------------------------------------------------------------

// A scratch directory that disappears with the run (unless CLUBIQA_SLT_KEEP is set).
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
      path_ = fs::temp_directory_path() / ("clubiqa-slt-" + std::to_string(random()));
      if (fs::create_directory(path_)) return;
    }
    throw std::runtime_error("cannot create a scratch directory in " + fs::temp_directory_path().string());
  }
  ~ScratchDir() {
    if (std::getenv("CLUBIQA_SLT_KEEP") != nullptr) {
      std::cerr << "engine_slt: server directory kept at " << (path_ / "server").string() << "\n";
      return;
    }
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

class FileRun {
 public:
  FileRun(fs::path file, slt::Transport& transport) : file_(std::move(file)), transport_(transport) {}
  ~FileRun() { sessions_.clear(); }  // before the server and the scratch directory go
  FileRun(const FileRun&) = delete;
  FileRun& operator=(const FileRun&) = delete;

  void CreateServer() {
    Outcome created = transport_.Open("")->Execute("CREATE DATABASE " + std::string(kTestDatabase));
    if (created.error) throw std::runtime_error(created.error->text);
    if (!created.exception.empty()) throw std::runtime_error(created.exception);
    sessions_[std::string(kDefaultConnection)] = Open(kTestDatabase);
    current_ = kDefaultConnection;
  }

  void Run(const std::vector<Record>& records) {
    for (const Record& record : records) {
      if (failures_ >= kMaxFailuresPerFile) {
        Fail(record, "stopped after " + std::to_string(failures_) + " failures");
        return;
      }
      RunRecord(record);
    }
  }

 private:
  std::unique_ptr<slt::Connection> Open(std::string_view database) const { return transport_.Open(database); }

  void RunRecord(const Record& record) {
    switch (record.kind) {
      case RecordKind::kStatementOk:
      case RecordKind::kStatementCount:
        CheckStatement(record, Execute(record.sql));
        break;
      case RecordKind::kStatementError:
        CheckError(record, Execute(record.sql));
        break;
      case RecordKind::kQuery:
        CheckQuery(record, Execute(record.sql));
        break;
      case RecordKind::kRestart:
        Restart(record);
        break;
      case RecordKind::kConnection:
        SwitchTo(record);
        break;
    }
  }

  Outcome Execute(const std::string& sql) {
    try {
      return Current().Execute(sql);
    } catch (const std::exception& e) {
      Outcome outcome;
      outcome.exception = e.what();
      return outcome;
    }
  }

  slt::Connection& Current() {
    auto& session = sessions_[current_];
    if (!session) throw std::runtime_error("connection '" + current_ + "' is not open (a failed restart?)");
    return *session;
  }

  void CheckStatement(const Record& record, const Outcome& outcome) {
    if (!CheckNoError(record, outcome)) return;
    if (record.kind != RecordKind::kStatementCount) return;
    const int64_t actual = outcome.rows_affected;
    if (actual != record.count) {
      Fail(record, "expected " + std::to_string(record.count) + " rows affected, got " + std::to_string(actual));
    }
  }

  void CheckError(const Record& record, const Outcome& outcome) {
    const std::string wanted = "error " + std::to_string(record.error_number) +
                               (record.error_text ? ": " + *record.error_text : std::string());
    if (!outcome.exception.empty()) {
      Fail(record, "expected " + wanted + "\nbut an exception escaped: " + outcome.exception);
    } else if (!outcome.error) {
      Fail(record, "expected " + wanted + "\nbut the batch succeeded");
    } else if (outcome.error->number != record.error_number ||
               (record.error_text && *record.error_text != outcome.error->text)) {
      Fail(record, "expected " + wanted + "\nactual " + RenderMessage(*outcome.error));
    }
  }

  void CheckQuery(const Record& record, const Outcome& outcome) {
    if (!CheckNoError(record, outcome)) return;
    if (!outcome.last_rows) {
      Fail(record, "the batch returned no row set");
      return;
    }
    std::vector<std::string> actual = RenderRows(*outcome.last_rows);
    std::vector<std::string> expected = record.expected;
    if (record.rowsort) {
      std::sort(actual.begin(), actual.end());
      std::sort(expected.begin(), expected.end());
    }
    if (actual != expected) {
      Fail(record, "rows differ" + std::string(record.rowsort ? " (both sides sorted)" : "") + "\nexpected:\n" +
                       RenderLines(expected) + "actual:\n" + RenderLines(actual));
    }
  }

  bool CheckNoError(const Record& record, const Outcome& outcome) {
    if (!outcome.exception.empty()) {
      Fail(record, "an exception escaped: " + outcome.exception);
      return false;
    }
    if (outcome.error) {
      Fail(record, "unexpected error\n    " + RenderMessage(*outcome.error));
      return false;
    }
    return true;
  }

  void Restart(const Record& record) {
    sessions_.clear();
    current_ = kDefaultConnection;
    try {
      transport_.Restart();
      sessions_[current_] = Open(kTestDatabase);
    } catch (const std::exception& e) {
      Fail(record, std::string("reopening the server failed: ") + e.what());
    }
  }

  void SwitchTo(const Record& record) {
    current_ = record.connection;
    if (sessions_[current_]) return;
    try {
      sessions_[current_] = Open(kTestDatabase);
    } catch (const std::exception& e) {
      Fail(record, "opening connection '" + current_ + "' failed: " + e.what());
    }
  }

  void Fail(const Record& record, const std::string& what) {
    ++failures_;
    std::string message;
    if (!record.sql.empty()) {
      message += "batch (connection " + current_ + ", " + transport_.name() + "):\n" + Indent(record.sql) + "\n";
    }
    ADD_FAILURE_AT(file_.string().c_str(), record.line) << message << what << "\n";
  }

  fs::path file_;
  slt::Transport& transport_;
  std::map<std::string, std::unique_ptr<slt::Connection>> sessions_;
  std::string current_{kDefaultConnection};
  int failures_ = 0;
};

// --transport=tds runs every file through clubiqa-sqlserverd's listener and the ODBC driver.
bool& UseTds() {
  static bool tds = false;
  return tds;
}

void RunFile(const fs::path& file) {
  std::vector<Record> records;
  try {
    records = TestFileParser(ReadLines(file)).Parse();
  } catch (const FormatError& e) {
    ADD_FAILURE_AT(file.string().c_str(), e.line()) << "malformed test file: " << e.what();
    return;
  }
  ScratchDir scratch;
  const fs::path server = scratch.path() / "server";
  std::unique_ptr<slt::Transport> transport;
  try {
    transport = UseTds() ? slt::MakeTdsTransport(server) : slt::MakeEngineTransport(server);
    FileRun run(file, *transport);
    run.CreateServer();
    run.Run(records);
  } catch (const std::exception& e) {
    FAIL() << file.string() << ": cannot create the test server: " << e.what();
  }
}

// ------------------------------------------------------------------------------------------
// One GoogleTest case per file
// ------------------------------------------------------------------------------------------

struct TestFile {
  fs::path path;
  std::string name;  // a GoogleTest-safe name: basic/smoke.test -> basic_smoke
};

void PrintTo(const TestFile& file, std::ostream* out) { *out << file.path.string(); }

std::vector<TestFile>& TestFiles() {
  static std::vector<TestFile> files;
  return files;
}

std::string TestName(const fs::path& file) {
  const fs::path root = CLUBIQA_SLT_DIR;
  fs::path relative = file.lexically_normal().lexically_relative(root);
  if (relative.empty() || *relative.begin() == "..") relative = file.filename();
  std::string name = relative.replace_extension().generic_string();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

void AddTestFile(const fs::path& file) {
  std::string name = TestName(fs::absolute(file));
  const auto taken = [&](const std::string& n) {
    return std::any_of(TestFiles().begin(), TestFiles().end(), [&](const TestFile& f) { return f.name == n; });
  };
  for (int i = 2; taken(name); ++i) name = TestName(fs::absolute(file)) + "_" + std::to_string(i);
  TestFiles().push_back({file, name});
}

// Adds a file, or every .test file below a directory (sorted, so runs are repeatable).
bool AddPath(const fs::path& path) {
  if (fs::is_regular_file(path)) {
    AddTestFile(path);
    return true;
  }
  if (!fs::is_directory(path)) return false;
  std::vector<fs::path> found;
  for (const auto& entry : fs::recursive_directory_iterator(path)) {
    if (entry.is_regular_file() && entry.path().extension() == ".test") found.push_back(entry.path());
  }
  std::sort(found.begin(), found.end());
  for (const auto& file : found) AddTestFile(file);
  return true;
}

class SltFileTest : public testing::TestWithParam<TestFile> {};

TEST_P(SltFileTest, Passes) { RunFile(GetParam().path); }

INSTANTIATE_TEST_SUITE_P(Files, SltFileTest, testing::ValuesIn(TestFiles()),
                         [](const testing::TestParamInfo<TestFile>& info) { return info.param.name; });

}  // namespace

int main(int argc, char** argv) {
  // The files must be known before GoogleTest registers the parameterised cases, which it does
  // while reading its flags; its own flags all start with '-'.
  std::vector<fs::path> paths;
  for (int i = 1; i < argc; ++i) {
    if (std::string_view(argv[i]) == "--transport=tds") UseTds() = true;
    if (argv[i][0] != '-') paths.emplace_back(argv[i]);
  }
  if (paths.empty()) paths.emplace_back(CLUBIQA_SLT_DIR);
  for (const auto& path : paths) {
    if (!AddPath(path)) {
      std::cerr << "engine_slt: no such file or directory: " << path.string() << "\n";
      return 2;
    }
  }
  if (TestFiles().empty()) {
    std::cerr << "engine_slt: no .test files found\n";
    return 2;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
