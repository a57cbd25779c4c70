// bench_upgrade: the whole upgrade as a user runs it, over a server with one old-release client database of
// N members: the run driver of the main window in-process, twice (the first run converts, the second finds
// everything done). Prints per run the wall time, the batches sent to the server and the peak resident set
// size, and the time to build the database; then, on a second database of the same size, each stage of the
// catalogue by itself (first and second pass), and once the reference scripts' single-row inserts beside SQLite
// inserting the same rows. See bench/upgrade/README.md.
//
//   bench_upgrade               1,000 and 100,000 members
//   bench_upgrade --quick       1,000 members
//   bench_upgrade --members N   N members (may be repeated)
//   bench_upgrade --keep        keep the server directories and print where they are
//
// When the build has the ODBC provider, FreeTDS and clubiqa-sqlserverd, each size also runs over TDS on a
// loopback port (phases "tds-1st" and "tds-2nd"), with the time per batch, that is per round trip.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/main_window.h"
#include "child.h"
#include "fixture/old_release.h"
#include "stage_figures.h"
#include "tds_run.h"
#include "ui/recording_ui.h"

namespace bench_upgrade {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kServerDirName = "server";
constexpr std::string_view kClientDatabase = "ZENTIX001";
constexpr std::string_view kServerCatalog = "Zentix";
// Four members in five pay by direct debit, so that most of them are due for a mandate record.
constexpr int kDirectDebitPercent = 80;

struct Config {
  std::vector<int> sizes;
  bool keep = false;
};

bool ParseArgs(int argc, char** argv, Config& config) {
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--quick") {
      quick = true;
    } else if (arg == "--keep") {
      config.keep = true;
    } else if (arg == "--members" && i + 1 < argc) {
      const int members = std::atoi(argv[++i]);
      if (members < 0) return false;
      config.sizes.push_back(members);
    } else {
      return false;
    }
  }
  if (config.sizes.empty()) config.sizes = quick ? std::vector<int>{1000} : std::vector<int>{1000, 100000};
  return true;
}

fs::path MakeScratchDir() {
  std::random_device random;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate = fs::temp_directory_path() / ("clubiqa-bench-upgrade-" + std::to_string(random()));
    if (fs::create_directory(candidate)) return candidate;
  }
  throw std::runtime_error("cannot create a scratch directory");
}

void WriteFile(const fs::path& path, std::string_view text) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  if (!file.flush()) throw std::runtime_error("cannot write " + path.string());
}

// The settings file as the installation writes it, naming the server directory beside it.
void WriteSettings(const fs::path& dir) {
  WriteFile(dir / "SysDBAdo.INI",
            "[Datenbank]\r\nProvider=Clubiqa.Embedded\r\nData Source=" + std::string(kServerDirName) +
                "\r\nPersist Security Info=False\r\nUser ID=sa\r\nPassword=\r\nWinAuth=N\r\n"
                "Initial Catalog=Zentix\r\n");
}

// Every batch that a session sends from now on is appended to trace.jsonl, one line each.
void TurnOnTrace(const fs::path& server_dir) { WriteFile(server_dir / "server.ini", "[Server]\nTrace=1\n"); }

int64_t CountLines(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return 0;
  int64_t lines = 0;
  char buffer[1 << 16];
  while (file.read(buffer, sizeof buffer) || file.gcount() > 0) {
    for (std::streamsize i = 0; i < file.gcount(); ++i) lines += buffer[i] == '\n' ? 1 : 0;
  }
  return lines;
}

double DatabaseMib(const fs::path& server_dir) {
  uintmax_t bytes = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(server_dir)) {
    const std::string name = entry.path().filename().string();
    if (name.find(".sqlite") == std::string::npos || name == "master.sqlite") continue;
    // A server that is still closing its sessions removes -shm and -wal files while
    // the directory is listed; a file that is gone counts as empty.
    std::error_code gone;
    const uintmax_t size = fs::file_size(entry.path(), gone);
    if (!gone) bytes += size;
  }
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

void BuildServer(const fs::path& server_dir, int members) {
  fixture::Options server_catalog;
  server_catalog.members = 0;  // the server catalog is a client database too; it holds the schema only
  fixture::CreateOldReleaseDatabase(server_dir, kServerCatalog, server_catalog);
  fixture::Options client;
  client.members = members;
  client.direct_debit_percent = kDirectDebitPercent;
  fixture::CreateOldReleaseDatabase(server_dir, kClientDatabase, client);
}

void UpgradeOnce(const fs::path& dir, PhaseOutcome& outcome) {
  ui::RecordingUi ui;
  app::MainWindow window(ui, dir);
  window.Activate();
  outcome.boxes = static_cast<int>(ui.boxes().size());
  outcome.failed = window.run_failed();
  if (outcome.failed && !ui.boxes().empty()) outcome.note = ui.boxes().back().text;
}

std::string Describe(const ChildResult& result) {
  if (!result.ok) return "error: " + result.error;
  if (result.outcome.failed) return "run failed: " + result.outcome.note;
  return "completed";
}

// The same two runs on `dir`, a copy of the server as built, served by clubiqa-sqlserverd and reached through
// ODBC.
bool RunOverTds(const fs::path& dir) {
  const fs::path server_dir = dir / kServerDirName;
  bool ok = true;
  {
    TdsServerProcess server(server_dir);
    WriteTdsSettings(dir, server.port());
    for (const char* phase : {"tds-1st", "tds-2nd"}) {
      const int64_t before = CountLines(server_dir / "trace.jsonl");
      const ChildResult run = RunInChild([&](PhaseOutcome& outcome) { UpgradeOnce(dir, outcome); });
      const int64_t batches = CountLines(server_dir / "trace.jsonl") - before;
      std::printf("%9s  %-7s %9.2f %9.1f %11lld %9.1f %7d  %s, %.3f ms per batch\n", "", phase, run.seconds,
                  run.peak_rss_mib, static_cast<long long>(batches), DatabaseMib(server_dir), run.outcome.boxes,
                  Describe(run).c_str(), batches > 0 ? run.seconds * 1000.0 / static_cast<double>(batches) : 0.0);
      std::fflush(stdout);
      ok = ok && run.ok;
    }
  }
  return ok;
}

// Returns false when a phase did not finish.
bool RunSize(int members, bool keep) {
  const fs::path dir = MakeScratchDir();
  const fs::path server_dir = dir / kServerDirName;
  bool ok = true;

  const ChildResult build = RunInChild([&](PhaseOutcome&) { BuildServer(server_dir, members); });
  std::printf("%9d  %-7s %9.2f %9.1f %11s %9.1f %7s  %s\n", members, "build", build.seconds, build.peak_rss_mib, "-",
              build.ok ? DatabaseMib(server_dir) : 0.0, "-",
              build.ok ? "completed" : ("error: " + build.error).c_str());
  std::fflush(stdout);
  const fs::path tds_dir = dir / "over-tds";
  if (build.ok && CanRunOverTds()) {
    fs::create_directories(tds_dir / kServerDirName);
    fs::copy(server_dir, tds_dir / kServerDirName, fs::copy_options::recursive);
  }
  if (build.ok) {
    WriteSettings(dir);
    TurnOnTrace(server_dir);
    if (CanRunOverTds()) TurnOnTrace(tds_dir / kServerDirName);
    for (const char* phase : {"first", "second"}) {
      const int64_t before = CountLines(server_dir / "trace.jsonl");
      const ChildResult run = RunInChild([&](PhaseOutcome& outcome) { UpgradeOnce(dir, outcome); });
      const int64_t batches = CountLines(server_dir / "trace.jsonl") - before;
      std::printf("%9s  %-7s %9.2f %9.1f %11lld %9.1f %7d  %s\n", "", phase, run.seconds, run.peak_rss_mib,
                  static_cast<long long>(batches), DatabaseMib(server_dir), run.outcome.boxes, Describe(run).c_str());
      std::fflush(stdout);
      ok = ok && run.ok;
    }
    if (CanRunOverTds()) ok = RunOverTds(tds_dir) && ok;
  }
  ok = ok && build.ok;
  if (keep) {
    std::printf("%9s  kept: %s\n", "", dir.string().c_str());
  } else {
    std::error_code ignored;
    fs::remove_all(dir, ignored);
  }
  return ok;
}

// "A 0.123 219;B ..." in the child, one line per stage in the parent.
std::string EncodeStages(const std::vector<StageFigures>& figures) {
  std::string text;
  for (const StageFigures& f : figures) {
    text += f.stage + " " + std::to_string(f.seconds) + " " + std::to_string(f.batches) + ";";
  }
  return text;
}

void PrintStages(const char* pass, const std::string& encoded) {
  size_t start = 0;
  for (size_t end; (end = encoded.find(';', start)) != std::string::npos; start = end + 1) {
    char stage[8] = {};
    double seconds = 0;
    long long batches = 0;
    if (std::sscanf(encoded.substr(start, end - start).c_str(), "%7s %lf %lld", stage, &seconds, &batches) != 3) break;
    std::printf("%9s  %-7s %9.2f %9s %11lld  stage %s\n", "", pass, seconds, "", batches, stage);
  }
}

// The stages one by one over a fresh database of `members`, a first and a second pass.
bool RunStagesOfSize(int members) {
  const fs::path dir = MakeScratchDir();
  const fs::path server_dir = dir / kServerDirName;
  fixture::Options client;
  client.members = members;
  client.direct_debit_percent = kDirectDebitPercent;
  fixture::CreateOldReleaseDatabase(server_dir, kClientDatabase, client);
  TurnOnTrace(server_dir);
  bool ok = true;
  for (const char* pass : {"first", "second"}) {
    const ChildResult run = RunInChild(
        [&](PhaseOutcome& outcome) { outcome.note = EncodeStages(RunStagesOnce(dir, server_dir, kClientDatabase)); });
    if (!run.ok) std::printf("%9s  %-7s stages: error: %s\n", "", pass, run.error.c_str());
    if (run.ok) PrintStages(pass, run.outcome.note);
    ok = ok && run.ok;
  }
  std::error_code ignored;
  fs::remove_all(dir, ignored);
  return ok;
}

void PrintScriptInserts() {
  const fs::path dir = MakeScratchDir();
  const InsertFigures f = CompareScriptInserts(dir);
  std::printf("\nchart-of-accounts script, %lld single-row INSERT batches of 106-column rows:\n", f.rows);
  std::printf("  engine %.3f s (%.0f us/row), SQLite %.3f s (%.0f us/row), ratio %.2f\n", f.engine_seconds,
              f.engine_seconds / static_cast<double>(f.rows) * 1e6, f.sqlite_seconds,
              f.sqlite_seconds / static_cast<double>(f.rows) * 1e6, f.engine_seconds / f.sqlite_seconds);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace bench_upgrade

int main(int argc, char** argv) {
  using namespace bench_upgrade;
  Config config;
  if (!ParseArgs(argc, argv, config)) {
    std::fprintf(stderr, "usage: bench_upgrade [--quick] [--members N]... [--keep]\n");
    return 2;
  }
  std::printf("bench_upgrade: old-release server (Zentix: schema only, %s: N members), run driver in-process\n",
              std::string(kClientDatabase).c_str());
  std::printf("%9s  %-7s %9s %9s %11s %9s %7s  %s\n", "members", "phase", "wall s", "peak MiB", "batches", "db MiB",
              "boxes", "result");
  bool ok = true;
  try {
    for (int members : config.sizes) ok = RunSize(members, config.keep) && ok;
    std::printf("\nstage by stage, on a second database of the same size (wall s and batches of each stage):\n");
    for (int members : config.sizes) {
      std::printf("%9d\n", members);
      ok = RunStagesOfSize(members) && ok;
    }
    PrintScriptInserts();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_upgrade: %s\n", e.what());
    return 1;
  }
  return ok ? 0 : 1;
}
