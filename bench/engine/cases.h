// The three workloads, each run on a fresh server directory per side under `root`:
//   (a) single-row INSERT statements into the 106-column accounts table, autocommit;
//   (b) the next-letter-number lookup on the correspondence table;
//   (c) ALTER TABLE ADD of a nullable column on the 150-column member table, in child processes
//       so that the peak RSS of the ALTER is measured on its own;
//   (p) the upgrader's three catalogue probes on a database of many 100-column tables, against
//       SQLite answering the same question from its own catalogue.
// Each throws std::runtime_error when a side fails or the two sides disagree on a result.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace bench {

struct Figure {
  std::string label;
  int64_t ops = 0;
  double engine_s = 0;
  double sqlite_s = 0;
  double engine_rss_mib = -1;  // < 0: not measured
  double sqlite_rss_mib = -1;
  // C++ heap allocations (operator new) per operation; < 0: not measured.
  double engine_allocs = -1;
  double sqlite_allocs = -1;
  std::string note;
};

std::vector<Figure> RunInsertCase(const std::filesystem::path& root, int inserts);
std::vector<Figure> RunLookupCase(const std::filesystem::path& root, int rows, int lookups);
std::vector<Figure> RunAlterCase(const std::filesystem::path& root, int rows);
std::vector<Figure> RunProbeCase(const std::filesystem::path& root, int tables, int probes);

}  // namespace bench
