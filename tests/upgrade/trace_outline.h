// Outlines of what a catalogue stage sent, for comparing a whole stage with an expected trace file at once.
//
// One line per batch: probes by what they look for ("column T.C", "exists T"), the runs of a reference script
// as one line naming the block once every batch of it was sent exactly as the block holds it, a block sent
// whole as one batch as one line naming it, every other statement by its text with its line ends visible, and
// a failure by its number behind the text.
#ifndef CLUBIQA_TESTS_UPGRADE_TRACE_OUTLINE_H_
#define CLUBIQA_TESTS_UPGRADE_TRACE_OUTLINE_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "db/access_test_support.h"
#include "schema/script_batches.h"
#include "upgrade/text_blocks.h"

namespace upgrade_test {

// What kind of statement a traced batch was: the stages' patterns are told apart by their texts alone. Script
// batches end in a bare LF, guarded batches in CR LF, direct commands in neither.
inline std::string KindOf(std::string_view sql) {
  if (sql == "BEGIN TRANSACTION" || sql == "COMMIT TRANSACTION" || sql.starts_with("IF @@TRANCOUNT") ||
      sql.starts_with("SELECT @@TRANCOUNT")) {
    return "transaction";
  }
  if (sql.starts_with("SELECT * FROM Information_Schema.Columns")) return "column probe";
  if (sql.starts_with("SELECT * FROM sysobjects WHERE name='")) return "existence probe";
  if (sql.starts_with("SELECT ")) return "data probe";
  if (sql.ends_with("\r\n")) return "guarded batch";
  if (sql.ends_with("\n")) return "script batch";
  if (sql.starts_with("ALTER TABLE dbo.") && sql.find(" ADD ") != std::string_view::npos) return "column addition";
  return "direct command";
}

// The quoted value after `key` in a probe text.
inline std::string LiteralAfter(std::string_view sql, std::string_view key) {
  size_t start = sql.find(key);
  if (start == std::string_view::npos) return "?";
  start += key.size();
  return std::string(sql.substr(start, sql.find('\'', start) - start));
}

// The batches of the five blocks the script runner sends, by name.
inline const std::vector<std::pair<std::string, std::vector<std::string>>>& ScriptBlockBatches() {
  static const auto* blocks = [] {
    const upgrade::TextBlocks& text = upgrade::EmbeddedTextBlocks();
    return new std::vector<std::pair<std::string, std::vector<std::string>>>{
        {"Memo1", schema::ScriptBatches(text.Memo1)},
        {"Memo2", schema::ScriptBatches(text.Memo2)},
        {"MemoFachv", schema::ScriptBatches(text.MemoFachv)},
        {"MemoSport", schema::ScriptBatches(text.MemoSport)},
        {"MemoFachWLSB", schema::ScriptBatches(text.MemoFachWLSB)},
    };
  }();
  return *blocks;
}

// When the trace holds every batch of one block from `at` on, its line ("script Memo1 (1315 batches)", with
// the number of failed batches behind it when there were any) and the number of batches it covers.
inline std::pair<std::string, size_t> ScriptRunAt(const std::vector<db_test::TraceEntry>& trace, size_t at) {
  for (const auto& [name, batches] : ScriptBlockBatches()) {
    if (batches.empty() || at + batches.size() > trace.size()) continue;
    bool same = true;
    int failed = 0;
    for (size_t k = 0; k < batches.size() && same; ++k) {
      same = trace[at + k].sql == batches[k];
      failed += trace[at + k].error != 0 ? 1 : 0;
    }
    if (!same) continue;
    std::string line = "script " + name + " (" + std::to_string(batches.size()) + " batches)";
    if (failed > 0) line += " -> " + std::to_string(failed) + " failed";
    return {line, batches.size()};
  }
  return {"", 0};
}

// The name of the block that `sql` sends whole, as one guarded batch (its text and the batch's CR LF), or "".
inline std::string WholeBlockOf(std::string_view sql) {
  const upgrade::TextBlocks& text = upgrade::EmbeddedTextBlocks();
  for (const auto& [name, block] :
       {std::pair{"memoHelp", &text.memoHelp}, std::pair{"MemoDSAFach", &text.MemoDSAFach}}) {
    if (!block->empty() && sql.size() == block->size() + 2 && sql.starts_with(*block) && sql.ends_with("\r\n")) {
      return name;
    }
  }
  return "";
}

inline std::string OutlineOf(const db_test::TraceEntry& entry) {
  const std::string kind = KindOf(entry.sql);
  std::string line;
  if (std::string block = WholeBlockOf(entry.sql); !block.empty()) {
    line = "block " + block + " as one batch";
  } else if (kind == "column probe") {
    line = "column " + LiteralAfter(entry.sql, "Table_Name='") + "." + LiteralAfter(entry.sql, "Column_Name='");
  } else if (kind == "existence probe") {
    line = "exists " + LiteralAfter(entry.sql, "name='");
  } else {
    line = db_test::Visible(entry.sql);
  }
  if (entry.error != 0) line += " -> error " + std::to_string(entry.error);
  return line;
}

// The outline of `trace`, one line each, with "progress" before the batch at each of `progress_positions`.
inline std::string Outline(const std::vector<db_test::TraceEntry>& trace,
                           const std::vector<size_t>& progress_positions) {
  std::string text;
  size_t next_progress = 0;
  auto progress_until = [&](size_t position) {
    while (next_progress < progress_positions.size() && progress_positions[next_progress] <= position) {
      text += "progress\n";
      ++next_progress;
    }
  };
  for (size_t i = 0; i < trace.size();) {
    progress_until(i);
    if (KindOf(trace[i].sql) == "script batch") {
      if (auto [line, covered] = ScriptRunAt(trace, i); covered > 0) {
        text += line + "\n";
        i += covered;
        continue;
      }
    }
    text += OutlineOf(trace[i]) + "\n";
    ++i;
  }
  progress_until(trace.size());
  return text;
}

// Compares `actual` with the expected text in <dir>/<file> in one assertion. With CLUBIQA_UPDATE_EXPECTED=1 in
// the environment the file is rewritten instead (review the difference before committing it).
inline void ExpectSameAsFile(const std::string& actual, std::string_view dir, std::string_view file) {
  const std::string path = std::string(dir) + "/" + std::string(file);
  if (const char* update = std::getenv("CLUBIQA_UPDATE_EXPECTED"); update != nullptr && std::string(update) == "1") {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in) << "missing expected file " << path;
  std::stringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(actual, expected.str()) << "differs from " << path;
}

}  // namespace upgrade_test

#endif  // CLUBIQA_TESTS_UPGRADE_TRACE_OUTLINE_H_
