// The catalogue's stages one by one on the client database of a bench server: wall time and batches of each,
// and the cost of the reference scripts' single-row inserts against SQLite inserting the same rows.
#ifndef CLUBIQA_BENCH_UPGRADE_STAGE_FIGURES_H_
#define CLUBIQA_BENCH_UPGRADE_STAGE_FIGURES_H_

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace bench_upgrade {

struct StageFigures {
  std::string stage;  // "A", "B", ...
  double seconds = 0;
  long long batches = 0;
};

// Runs every stage once over `database` of the server in `dir` (SysDBAdo.INI beside it names the server
// directory; trace.jsonl in `server_dir` counts the batches). Throws on an unguarded failure.
std::vector<StageFigures> RunStagesOnce(const std::filesystem::path& dir, const std::filesystem::path& server_dir,
                                        std::string_view database);

struct InsertFigures {
  long long rows = 0;
  double engine_seconds = 0;  // the chart-of-accounts script's insert batches through the script runner
  double sqlite_seconds = 0;  // the same INSERT texts run one by one by SQLite into a table of the same columns
};

// Both sides in files under `scratch_dir`, with the same journal settings (WAL, synchronous NORMAL).
InsertFigures CompareScriptInserts(const std::filesystem::path& scratch_dir);

}  // namespace bench_upgrade

#endif  // CLUBIQA_BENCH_UPGRADE_STAGE_FIGURES_H_
