// bench_tds: 16 clients at once, each sending 2,000 mixed statements (inserts, selects by key,
// updates) to a table of its own and to one shared table; once over the wire protocol
// (clubiqa-sqlserverd's listener in this process, reached through unixODBC and the FreeTDS driver)
// and once in process (16 threads, each with its own engine session). It checks that every row
// arrived and every client finished, and prints statements per second and the p50/p99 latency
// of single statements for both.
//
//   bench_tds [--clients N] [--statements N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/engine.h"
#include "odbc_client.h"
#include "tds/listener.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Settings {
  int clients = 16;
  int statements = 2000;
};

// Runs one batch; returns false when it reported an error.
using Execute = std::function<bool(const std::string&)>;

// The k-th statement of client `c`: four kinds in turn, one in eight a count of the shared table.
std::string Statement(int c, int k) {
  const std::string own = "own_" + std::to_string(c);
  const int row = k / 4;
  switch (k % 4) {
    case 0:
      return "INSERT INTO " + own + " VALUES (" + std::to_string(row) + ", 0, 'Zeile " + std::to_string(row) + "')";
    case 1:
      return "SELECT v, s FROM " + own + " WHERE id = " + std::to_string(row);
    case 2:
      return "UPDATE " + own + " SET v = v + 1 WHERE id = " + std::to_string(row);
    default:
      if (row % 2 == 0) return "SELECT COUNT(*) FROM shared WHERE owner = " + std::to_string(c);
      return "INSERT INTO shared VALUES (" + std::to_string(c * 1000000 + row) + ", " + std::to_string(c) + ", 0)";
  }
}

struct Figures {
  double seconds = 0;
  int64_t statements = 0;
  int64_t errors = 0;
  std::vector<double> latencies_ms;
};

// Runs every client on a thread of its own, each through the connection `open` gives it.
Figures RunClients(const Settings& s, const std::function<Execute(int)>& open) {
  Figures figures;
  std::mutex mutex;
  std::vector<std::thread> threads;
  const auto start = Clock::now();
  for (int c = 0; c < s.clients; ++c) {
    threads.emplace_back([&, c] {
      Execute execute = open(c);
      std::vector<double> latencies;
      int64_t errors = 0;
      for (int k = 0; k < s.statements; ++k) {
        const auto t0 = Clock::now();
        if (!execute(Statement(c, k))) ++errors;
        latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      }
      std::lock_guard lock(mutex);
      figures.latencies_ms.insert(figures.latencies_ms.end(), latencies.begin(), latencies.end());
      figures.errors += errors;
      figures.statements += s.statements;
    });
  }
  for (std::thread& t : threads) t.join();
  figures.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return figures;
}

std::string Schema(const Settings& s) {
  std::string sql = "CREATE TABLE shared (id int NOT NULL PRIMARY KEY, owner int NOT NULL, v int NOT NULL)\n";
  for (int c = 0; c < s.clients; ++c) {
    sql += "CREATE TABLE own_" + std::to_string(c) +
           " (id int NOT NULL PRIMARY KEY, v int NOT NULL, s varchar(40) NULL)\n";
  }
  return sql;
}

std::unique_ptr<engine::Session> OpenSession(const fs::path& dir, const std::string& db) {
  engine::OpenOptions options;
  options.data_source = dir;
  options.initial_catalog = db;
  options.create_server = true;
  return engine::Session::Open(options);
}

// Every insert must be there: a quarter of each client's statements into its table, an eighth
// into the shared table. Returns the number of missing or extra rows.
int64_t CountMismatch(const fs::path& dir, const Settings& s) {
  auto session = OpenSession(dir, "bench");
  const int64_t own_rows = (s.statements + 3) / 4;
  int64_t shared_expected = 0;
  int64_t mismatch = 0;
  for (int c = 0; c < s.clients; ++c) {
    for (int k = 3; k < s.statements; k += 4) shared_expected += (k / 4) % 2 == 1 ? 1 : 0;
    engine::BatchResult r = session->ExecuteOrThrow("SELECT COUNT(*) FROM own_" + std::to_string(c));
    mismatch += std::abs(r.FirstRows()->rows[0][0].as_int() - own_rows);
  }
  engine::BatchResult r = session->ExecuteOrThrow("SELECT COUNT(*) FROM shared");
  return mismatch + std::abs(r.FirstRows()->rows[0][0].as_int() - shared_expected);
}

void Prepare(const fs::path& dir, const Settings& s) {
  OpenSession(dir, "")->ExecuteOrThrow("CREATE DATABASE bench");
  OpenSession(dir, "bench")->ExecuteOrThrow(Schema(s));
}

double Percentile(std::vector<double>& v, double p) {
  if (v.empty()) return 0;
  const size_t at = std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())));
  std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(at), v.end());
  return v[at];
}

void Print(const char* side, Figures& f, int64_t mismatch) {
  const double p50 = Percentile(f.latencies_ms, 0.50);
  const double p99 = Percentile(f.latencies_ms, 0.99);
  std::printf(
      "%-12s %8lld statements in %6.2f s  %9.0f statements/s  p50 %7.3f ms  p99 %7.3f ms  errors %lld"
      "  missing rows %lld\n",
      side, static_cast<long long>(f.statements), f.seconds, static_cast<double>(f.statements) / f.seconds, p50, p99,
      static_cast<long long>(f.errors), static_cast<long long>(mismatch));
}

Figures RunInProcess(const fs::path& dir, const Settings& s) {
  return RunClients(s, [&](int) -> Execute {
    std::shared_ptr<engine::Session> session = OpenSession(dir, "bench");
    return [session](const std::string& sql) { return session->Execute(sql).FirstError() == nullptr; };
  });
}

Figures RunOverTds(const fs::path& dir, const Settings& s) {
  tds::ListenerOptions options;
  options.server_dir = dir;
  options.port = 0;
  tds::Listener listener(options);
  std::thread server([&] { listener.Run(); });
  Figures f = RunClients(s, [&](int) -> Execute {
    auto connection =
        std::make_shared<tds::odbc::Connection>(tds::odbc::ConnectionString(listener.port(), "sa", "x", "bench"));
    return [connection](const std::string& sql) {
      for (const tds::odbc::Item& item : connection->Execute(sql)) {
        if (item.is_error) return false;
      }
      return true;
    };
  });
  listener.Stop();
  server.join();
  return f;
}

Settings ParseSettings(int argc, char** argv) {
  Settings s;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--clients") s.clients = std::max(1, std::atoi(argv[i + 1]));
    if (flag == "--statements") s.statements = std::max(4, std::atoi(argv[i + 1]));
  }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const Settings s = ParseSettings(argc, argv);
  const fs::path root = fs::temp_directory_path() / ("bench_tds_" + std::to_string(::getpid()));
  fs::remove_all(root);
  std::printf(
      "%d clients x %d statements (insert, select by key, update on an own table; insert and count on "
      "a shared table)\n",
      s.clients, s.statements);
  int rc = 0;
  for (const bool wire : {true, false}) {
    const fs::path dir = root / (wire ? "tds" : "engine");
    Prepare(dir, s);
    Figures f = wire ? RunOverTds(dir, s) : RunInProcess(dir, s);
    const int64_t mismatch = CountMismatch(dir, s);
    Print(wire ? "tds+odbc" : "in-process", f, mismatch);
    if (f.errors != 0 || mismatch != 0) rc = 1;
  }
  fs::remove_all(root);
  return rc;
}
