// bench_engine: runs the same statement texts through the embedded engine and through SQLite
// (WAL, synchronous=NORMAL, every statement prepared from its text) and prints the times and the
// ratio engine/SQLite. See bench/README.md.
//
//   bench_engine            the full run (minutes)
//   bench_engine --quick    small sizes, a smoke run for ctest
//   bench_engine --only c   just one workload (a, b, c or p; may be repeated or given as "a,c")
//   bench_engine --probes N N probes per shape in (p) instead of 10,000
#include <sqlite3.h>
#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "cases.h"

namespace bench {
namespace {

namespace fs = std::filesystem;

struct Sizes {
  int inserts;            // (a)
  int lookup_rows_small;  // (b), as many lookups as rows
  int lookup_rows_large;
  int alter_rows_small;  // (c)
  int alter_rows_large;
  int probe_tables_small;  // (p)
  int probe_tables_large;
  int probes;  // per probe shape
};

constexpr Sizes kFull{10000, 10000, 100000, 10000, 100000, 150, 1500, 10000};
constexpr Sizes kQuick{200, 1000, 2000, 500, 1000, 20, 60, 200};

struct Config {
  bool quick = false;
  bool run_a = false;
  bool run_b = false;
  bool run_c = false;
  bool run_p = false;
  int probes = 0;  // > 0: probes per shape in (p)
};

bool ParseOnly(std::string_view list, Config& config) {
  for (char c : list) {
    if (c == 'a')
      config.run_a = true;
    else if (c == 'b')
      config.run_b = true;
    else if (c == 'c')
      config.run_c = true;
    else if (c == 'p')
      config.run_p = true;
    else if (c != ',')
      return false;
  }
  return true;
}

bool ParseArgs(int argc, char** argv, Config& config) {
  bool only = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--quick") {
      config.quick = true;
    } else if (arg == "--probes" && i + 1 < argc) {
      config.probes = std::atoi(argv[++i]);
      if (config.probes <= 0) return false;
    } else if (arg == "--only" && i + 1 < argc) {
      only = true;
      if (!ParseOnly(argv[++i], config)) return false;
    } else {
      return false;
    }
  }
  if (!only) config.run_a = config.run_b = config.run_c = config.run_p = true;
  return true;
}

// A private directory for the servers of this run, removed at the end.
class TempRoot {
 public:
  TempRoot() {
    std::string pattern = (fs::temp_directory_path() / "bench_engine.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
  }
  ~TempRoot() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void PrintFigure(const Figure& f) {
  double ratio = f.sqlite_s > 0 ? f.engine_s / f.sqlite_s : 0;
  double ops = static_cast<double>(f.ops > 0 ? f.ops : 1);
  std::printf("%-50s %7lld %10.3f %10.3f %8.1f %12.1f %12.1f", f.label.c_str(), static_cast<long long>(f.ops),
              f.engine_s, f.sqlite_s, ratio, f.engine_s * 1e6 / ops, f.sqlite_s * 1e6 / ops);
  if (f.engine_allocs >= 0) std::printf(" %10.1f", f.engine_allocs);
  std::printf("\n");
  if (f.engine_rss_mib >= 0) {
    std::printf("    peak RSS of the ALTER: engine %.1f MiB, sqlite %.1f MiB\n", f.engine_rss_mib, f.sqlite_rss_mib);
  }
  if (!f.note.empty()) std::printf("    %s\n", f.note.c_str());
}

// How the per-operation cost changes from the small to the large table, for each side.
void PrintGrowth(const char* what, const Figure& small, const Figure& large, double size_ratio,
                 const char* unit = "rows") {
  auto per_op = [](double s, int64_t ops) { return s / static_cast<double>(ops > 0 ? ops : 1); };
  double engine = per_op(large.engine_s, large.ops) / per_op(small.engine_s, small.ops);
  double sqlite = per_op(large.sqlite_s, large.ops) / per_op(small.sqlite_s, small.ops);
  std::printf("%s: engine x%.2f, sqlite x%.2f for x%.0f %s\n", what, engine, sqlite, size_ratio, unit);
}

int Run(const Config& config) {
  Sizes sizes = config.quick ? kQuick : kFull;
  if (config.probes > 0) sizes.probes = config.probes;
  TempRoot root;
  std::printf("bench_engine%s: engine vs SQLite %s (WAL, synchronous=NORMAL), statements sent as text\n",
              config.quick ? " --quick" : "", sqlite3_libversion());
  // (c) forks its children first, while this process is still small: a child starts with the
  // parent's resident pages, which would otherwise count towards its peak.
  std::vector<Figure> alter_small, alter_large, inserts, lookup_small, lookup_large, probe_small, probe_large;
  if (config.run_c) {
    alter_small = RunAlterCase(root.path(), sizes.alter_rows_small);
    alter_large = RunAlterCase(root.path(), sizes.alter_rows_large);
  }
  if (config.run_a) inserts = RunInsertCase(root.path(), sizes.inserts);
  if (config.run_b) {
    lookup_small = RunLookupCase(root.path(), sizes.lookup_rows_small, sizes.lookup_rows_small);
    lookup_large = RunLookupCase(root.path(), sizes.lookup_rows_large, sizes.lookup_rows_large);
  }
  if (config.run_p) {
    probe_small = RunProbeCase(root.path(), sizes.probe_tables_small, sizes.probes);
    probe_large = RunProbeCase(root.path(), sizes.probe_tables_large, sizes.probes);
  }
  std::printf("%-50s %7s %10s %10s %8s %12s %12s %10s\n", "case", "ops", "engine s", "sqlite s", "ratio",
              "engine us/op", "sqlite us/op", "engine new/op");
  for (const auto* group :
       {&inserts, &lookup_small, &lookup_large, &probe_small, &probe_large, &alter_small, &alter_large}) {
    for (const Figure& figure : *group) PrintFigure(figure);
  }
  if (config.run_b) {
    PrintGrowth("(b) time per lookup, large vs small table", lookup_small.back(), lookup_large.back(),
                static_cast<double>(sizes.lookup_rows_large) / sizes.lookup_rows_small);
  }
  if (config.run_p) {
    double tables = static_cast<double>(sizes.probe_tables_large) / sizes.probe_tables_small;
    for (size_t i = 1; i < probe_small.size(); ++i) {
      std::string what = probe_small[i].label.substr(0, probe_small[i].label.rfind(',')) + ", large vs small";
      PrintGrowth(what.c_str(), probe_small[i], probe_large[i], tables, "tables");
    }
  }
  if (config.run_c) {
    PrintGrowth("(c) ALTER time, large vs small table", alter_small.back(), alter_large.back(),
                static_cast<double>(sizes.alter_rows_large) / sizes.alter_rows_small);
  }
  return 0;
}

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
  bench::Config config;
  if (!bench::ParseArgs(argc, argv, config)) {
    std::fprintf(stderr, "usage: bench_engine [--quick] [--only a|b|c|p[,...]] [--probes N]\n");
    return 2;
  }
  try {
    return bench::Run(config);
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "bench_engine: %s\n", e.what());
    return 1;
  }
}
