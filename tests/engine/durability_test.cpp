// What the engine promises about crashes and about several sessions on one server directory:
// a statement that was acknowledged survives kill -9, a statement that was cut off leaves no
// trace, two processes can write to one table at once, and a session sees what another one
// committed after it was opened. Child processes come from fork(), so this file is POSIX-only;
// the parent holds no open session when it forks, as SQLite connections must not cross a fork.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/engine.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kDatabase = "durability";

class ScratchServer {
 public:
  ScratchServer() {
    std::random_device random;
    for (int attempt = 0; attempt < 100 && root_.empty(); ++attempt) {
      fs::path candidate = fs::temp_directory_path() / ("clubiqa-durability-" + std::to_string(random()));
      if (fs::create_directory(candidate)) root_ = candidate;
    }
    if (root_.empty()) throw std::runtime_error("cannot create a scratch directory");
  }
  ~ScratchServer() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  ScratchServer(const ScratchServer&) = delete;
  ScratchServer& operator=(const ScratchServer&) = delete;

  fs::path dir() const { return root_ / "server"; }

 private:
  fs::path root_;
};

std::unique_ptr<engine::Session> Open(const fs::path& server, std::string_view database) {
  engine::OpenOptions options;
  options.data_source = server;
  options.initial_catalog = std::string(database);
  options.create_server = true;
  return engine::Session::Open(options);
}

// Creates the server with database `durability` holding the table that `ddl` creates.
void CreateServer(const fs::path& server, const std::string& ddl) {
  Open(server, "")->ExecuteOrThrow("CREATE DATABASE " + std::string(kDatabase));
  Open(server, kDatabase)->ExecuteOrThrow(ddl);
}

std::vector<std::vector<std::string>> Rows(engine::Session& session, std::string_view sql) {
  const engine::BatchResult result = session.ExecuteOrThrow(sql);
  std::vector<std::vector<std::string>> rows;
  const engine::ResultSet* set = result.FirstRows();
  if (set == nullptr) throw std::runtime_error("no row set from: " + std::string(sql));
  for (const auto& row : set->rows) {
    std::vector<std::string> texts;
    for (const auto& value : row) texts.push_back(value.ToString());
    rows.push_back(std::move(texts));
  }
  return rows;
}

std::string Scalar(engine::Session& session, std::string_view sql) {
  const auto rows = Rows(session, sql);
  if (rows.empty() || rows[0].empty()) throw std::runtime_error("no value from: " + std::string(sql));
  return rows[0][0];
}

// Writes the whole buffer; false when the reader is gone.
bool WriteAll(int fd, const void* data, size_t size) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// Waits up to `timeout` for one key on the pipe; nullopt on end of file or timeout.
std::optional<int64_t> ReadKey(int fd, std::chrono::milliseconds timeout) {
  int64_t key = 0;
  char* p = reinterpret_cast<char*>(&key);
  size_t got = 0;
  const auto deadline = Clock::now() + timeout;
  while (got < sizeof key) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return std::nullopt;
    pollfd pfd{fd, POLLIN, 0};
    if (poll(&pfd, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = read(fd, p + got, sizeof key - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    got += static_cast<size_t>(n);
  }
  return key;
}

// Waits for a child for up to `timeout`, then kills it; returns its wait status.
int WaitFor(pid_t pid, std::chrono::seconds timeout) {
  const auto deadline = Clock::now() + timeout;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (Clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      ADD_FAILURE() << "child " << pid << " did not finish within " << timeout.count() << " s";
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return status;
}

// ------------------------------------------------------------------------------------------
// kill -9 in the middle of a stream of INSERTs
// ------------------------------------------------------------------------------------------

constexpr char kPairsTable[] =
    "CREATE TABLE pairs (k int NOT NULL, part int NOT NULL, pad varchar(200) NULL, PRIMARY KEY (k, part))";

// Each statement inserts the two rows (k,1) and (k,2): finding only one of them after a crash
// would mean a statement was half applied.
std::string PairInsert(int64_t k) {
  const std::string key = std::to_string(k);
  const std::string pad(120, 'p');
  return "INSERT INTO pairs (k, part, pad) VALUES (" + key + ", 1, '" + pad + "'), (" + key + ", 2, '" + pad + "')";
}

// The child's whole life: insert pairs from `first` on, acknowledge each key on `ack_fd` once
// its statement came back without error. Only a kill ends it.
[[noreturn]] void InsertPairsUntilKilled(const fs::path& server, int64_t first, int ack_fd) {
  try {
    auto session = Open(server, kDatabase);
    for (int64_t k = first;; ++k) {
      const engine::BatchResult result = session->Execute(PairInsert(k));
      if (const engine::Message* error = result.FirstError()) {
        std::fprintf(stderr, "child: key %lld: Msg %d: %s\n", static_cast<long long>(k), error->number,
                     error->text.c_str());
        _exit(3);
      }
      if (!WriteAll(ack_fd, &k, sizeof k)) _exit(4);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "child: %s\n", e.what());
    _exit(5);
  }
}

struct KillRound {
  std::set<int64_t> acknowledged;
  int64_t first = 0;
};

// Starts a child inserting from `first`, kills it at a random moment once `acks_before_kill`
// keys were acknowledged, and returns every key it acknowledged before it died.
KillRound RunAndKill(const fs::path& server, int64_t first, int acks_before_kill, std::mt19937& random) {
  KillRound round;
  round.first = first;
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(fds[0]);
    InsertPairsUntilKilled(server, first, fds[1]);
  }
  close(fds[1]);
  Clock::time_point first_ack;
  while (static_cast<int>(round.acknowledged.size()) < acks_before_kill) {
    const std::optional<int64_t> key = ReadKey(fds[0], std::chrono::seconds(60));
    if (!key) break;  // the child failed (its stderr says why) or hangs
    if (round.acknowledged.empty()) first_ack = Clock::now();
    round.acknowledged.insert(*key);
  }
  // Kill at a random point of the next statement: the delay spans about one statement's time.
  const auto per_statement = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - first_ack) /
                             std::max<size_t>(round.acknowledged.size(), 1);
  const int64_t window = std::max<int64_t>(per_statement.count() * 3 / 2, 100);
  std::this_thread::sleep_for(std::chrono::microseconds(std::uniform_int_distribution<int64_t>(0, window)(random)));
  kill(pid, SIGKILL);
  int status = 0;
  waitpid(pid, &status, 0);
  // Keys the child wrote before it died are acknowledged too, even if not read yet.
  while (const std::optional<int64_t> key = ReadKey(fds[0], std::chrono::seconds(5))) round.acknowledged.insert(*key);
  close(fds[0]);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
      << "the inserting child ended on its own (status " << status << ") after " << round.acknowledged.size()
      << " statements";
  return round;
}

TEST(Crash, AcknowledgedStatementsSurviveAndCutOffOnesLeaveNoTrace) {
  ScratchServer scratch;
  CreateServer(scratch.dir(), kPairsTable);
  std::mt19937 random(std::random_device{}());
  std::vector<KillRound> rounds;
  for (int i = 0; i < 4; ++i) {
    rounds.push_back(RunAndKill(scratch.dir(), (i + 1) * 1000000LL, 40, random));
    ASSERT_GE(rounds.back().acknowledged.size(), 40u) << "round " << i << ": the child stopped acknowledging";
  }

  auto session = Open(scratch.dir(), kDatabase);
  std::map<int64_t, std::set<int64_t>> parts;
  for (const auto& row : Rows(*session, "SELECT k, part FROM pairs"))
    parts[std::stoll(row[0])].insert(std::stoll(row[1]));

  for (const KillRound& round : rounds) {
    for (int64_t k : round.acknowledged) {
      const auto found = parts.find(k);
      EXPECT_TRUE(found != parts.end() && found->second == (std::set<int64_t>{1, 2}))
          << "acknowledged key " << k << " lost or incomplete";
    }
    // Only the statement in flight when the child died may be there without an acknowledgement.
    const int64_t in_flight = *round.acknowledged.rbegin() + 1;
    for (auto it = parts.lower_bound(round.first); it != parts.end() && it->first < round.first + 1000000; ++it) {
      EXPECT_EQ(it->second, (std::set<int64_t>{1, 2})) << "key " << it->first << " was half inserted";
      EXPECT_TRUE(round.acknowledged.count(it->first) == 1 || it->first == in_flight)
          << "key " << it->first << " appeared although it was never sent";
    }
  }
  // The crashes left nothing behind that keeps the server from taking writes.
  EXPECT_EQ(session->Execute(PairInsert(1)).FirstError(), nullptr);
}

// ------------------------------------------------------------------------------------------
// Two processes writing to one table
// ------------------------------------------------------------------------------------------

constexpr int kRowsPerWriter = 100;

// A child's whole life: wait for the start signal, insert its key range one statement at a
// time (reading the table now and then, so reads meet writes), exit 0 when all went in.
[[noreturn]] void InsertRange(const fs::path& server, int writer, int start_fd) {
  char go = 0;
  while (read(start_fd, &go, 1) < 0 && errno == EINTR) {
  }
  try {
    auto session = Open(server, kDatabase);
    const int first = writer * 100000;
    for (int k = first; k < first + kRowsPerWriter; ++k) {
      std::string sql =
          "INSERT INTO shared_rows (k, writer) VALUES (" + std::to_string(k) + ", " + std::to_string(writer) + ")";
      if (k % 10 == 0) sql += " SELECT COUNT(*) FROM shared_rows";
      const engine::BatchResult result = session->Execute(sql);
      if (const engine::Message* error = result.FirstError()) {
        std::fprintf(stderr, "writer %d: key %d: Msg %d: %s\n", writer, k, error->number, error->text.c_str());
        _exit(3);
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "writer %d: %s\n", writer, e.what());
    _exit(5);
  }
  _exit(0);
}

TEST(MultiProcess, TwoWritersOnOneTableBothFinish) {
  ScratchServer scratch;
  CreateServer(scratch.dir(), "CREATE TABLE shared_rows (k int PRIMARY KEY, writer int NOT NULL)");
  int start[2];
  ASSERT_EQ(pipe(start), 0);
  std::vector<pid_t> children;
  for (int writer = 1; writer <= 2; ++writer) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      close(start[1]);
      InsertRange(scratch.dir(), writer, start[0]);
    }
    children.push_back(pid);
  }
  close(start[0]);
  close(start[1]);  // both children see end of file and start together
  for (size_t i = 0; i < children.size(); ++i) {
    const int status = WaitFor(children[i], std::chrono::seconds(240));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "writer " << i + 1 << " failed (status " << status << "); its messages are above";
  }

  auto session = Open(scratch.dir(), kDatabase);
  for (int writer = 1; writer <= 2; ++writer) {
    const std::string count =
        Scalar(*session, "SELECT COUNT(*) FROM shared_rows WHERE writer = " + std::to_string(writer) +
                             " AND k >= " + std::to_string(writer * 100000) + " AND k < " +
                             std::to_string(writer * 100000 + kRowsPerWriter));
    EXPECT_EQ(count, std::to_string(kRowsPerWriter)) << "rows of writer " << writer;
  }
  EXPECT_EQ(Scalar(*session, "SELECT COUNT(*) FROM shared_rows"), std::to_string(2 * kRowsPerWriter));
}

// ------------------------------------------------------------------------------------------
// Sessions see each other's commits
// ------------------------------------------------------------------------------------------

TEST(Visibility, CommittedRowsAreSeenBySessionOpenedBefore) {
  ScratchServer scratch;
  CreateServer(scratch.dir(), "CREATE TABLE t (k int PRIMARY KEY, v varchar(10) NULL)");
  auto a = Open(scratch.dir(), kDatabase);
  auto b = Open(scratch.dir(), kDatabase);
  ASSERT_EQ(Scalar(*b, "SELECT COUNT(*) FROM t"), "0");

  a->ExecuteOrThrow("INSERT INTO t (k, v) VALUES (1, 'one')");
  EXPECT_EQ(Scalar(*b, "SELECT v FROM t WHERE k = 1"), "one");
  a->ExecuteOrThrow("UPDATE t SET v = 'uno' WHERE k = 1");
  EXPECT_EQ(Scalar(*b, "SELECT v FROM t WHERE k = 1"), "uno");
  a->ExecuteOrThrow("DELETE FROM t WHERE k = 1");
  EXPECT_EQ(Scalar(*b, "SELECT COUNT(*) FROM t"), "0");
}

TEST(Visibility, SchemaChangesAreSeenBySessionOpenedBefore) {
  ScratchServer scratch;
  CreateServer(scratch.dir(), "CREATE TABLE t (k int PRIMARY KEY)");
  auto a = Open(scratch.dir(), kDatabase);
  auto b = Open(scratch.dir(), kDatabase);
  ASSERT_EQ(Scalar(*b, "SELECT COUNT(*) FROM t"), "0");

  a->ExecuteOrThrow("CREATE TABLE u (k int PRIMARY KEY) INSERT INTO u (k) VALUES (7)");
  EXPECT_EQ(Scalar(*b, "SELECT k FROM u"), "7");
  a->ExecuteOrThrow("ALTER TABLE u ADD c varchar(5) NULL");
  b->ExecuteOrThrow("UPDATE u SET c = 'new' WHERE k = 7");
  EXPECT_EQ(Scalar(*a, "SELECT c FROM u WHERE k = 7"), "new");
  a->ExecuteOrThrow("DROP TABLE u");
  const engine::BatchResult gone = b->Execute("SELECT k FROM u");
  ASSERT_NE(gone.FirstError(), nullptr);
  EXPECT_EQ(gone.FirstError()->number, 208);
}

}  // namespace
