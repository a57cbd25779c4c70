// Storage faults under the engine: a SQLite VFS shim, registered by this test as the default VFS, lets the
// engine's files work normally until it is armed, then fails reads, writes or syncs, or reports a full disk.
// For every fault: a statement that meets it ends with an error (never as a success), the statements
// acknowledged before it are all there after the server is reopened, nothing of the failed statement is
// visible, and the database takes new writes again.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "engine/engine.h"

namespace {

enum class Fault { kNone, kRead, kWrite, kSync, kFull };

Fault g_fault = Fault::kNone;
int g_injected = 0;  // faults reported to SQLite since the last arming
sqlite3_vfs* g_real = nullptr;

struct ShimFile {
  sqlite3_file base;
  sqlite3_file* real;  // the default VFS's file, allocated right behind this struct
};

sqlite3_file* Real(sqlite3_file* file) { return reinterpret_cast<ShimFile*>(file)->real; }

bool Trip(bool applies) {
  if (!applies) return false;
  ++g_injected;
  return true;
}

int ShimClose(sqlite3_file* f) { return Real(f)->pMethods->xClose(Real(f)); }
int ShimRead(sqlite3_file* f, void* buf, int n, sqlite3_int64 offset) {
  if (Trip(g_fault == Fault::kRead)) return SQLITE_IOERR_READ;
  return Real(f)->pMethods->xRead(Real(f), buf, n, offset);
}
int ShimWrite(sqlite3_file* f, const void* buf, int n, sqlite3_int64 offset) {
  if (Trip(g_fault == Fault::kWrite)) return SQLITE_IOERR_WRITE;
  if (Trip(g_fault == Fault::kFull)) return SQLITE_FULL;
  return Real(f)->pMethods->xWrite(Real(f), buf, n, offset);
}
int ShimTruncate(sqlite3_file* f, sqlite3_int64 size) { return Real(f)->pMethods->xTruncate(Real(f), size); }
int ShimSync(sqlite3_file* f, int flags) {
  if (Trip(g_fault == Fault::kSync)) return SQLITE_IOERR_FSYNC;
  return Real(f)->pMethods->xSync(Real(f), flags);
}
int ShimFileSize(sqlite3_file* f, sqlite3_int64* size) { return Real(f)->pMethods->xFileSize(Real(f), size); }
int ShimLock(sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); }
int ShimUnlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int ShimCheckReservedLock(sqlite3_file* f, int* out) { return Real(f)->pMethods->xCheckReservedLock(Real(f), out); }
int ShimFileControl(sqlite3_file* f, int op, void* arg) { return Real(f)->pMethods->xFileControl(Real(f), op, arg); }
int ShimSectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int ShimDeviceCharacteristics(sqlite3_file* f) { return Real(f)->pMethods->xDeviceCharacteristics(Real(f)); }
int ShimShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
  return Real(f)->pMethods->xShmMap(Real(f), page, size, extend, out);
}
int ShimShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShimShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int ShimShmUnmap(sqlite3_file* f, int delete_flag) { return Real(f)->pMethods->xShmUnmap(Real(f), delete_flag); }
int ShimFetch(sqlite3_file* f, sqlite3_int64 offset, int n, void** out) {
  return Real(f)->pMethods->xFetch(Real(f), offset, n, out);
}
int ShimUnfetch(sqlite3_file* f, sqlite3_int64 offset, void* p) {
  return Real(f)->pMethods->xUnfetch(Real(f), offset, p);
}

const sqlite3_io_methods kShimMethods = {
    3,
    ShimClose,
    ShimRead,
    ShimWrite,
    ShimTruncate,
    ShimSync,
    ShimFileSize,
    ShimLock,
    ShimUnlock,
    ShimCheckReservedLock,
    ShimFileControl,
    ShimSectorSize,
    ShimDeviceCharacteristics,
    ShimShmMap,
    ShimShmLock,
    ShimShmBarrier,
    ShimShmUnmap,
    ShimFetch,
    ShimUnfetch,
};

int ShimOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* out_flags) {
  auto* shim = reinterpret_cast<ShimFile*>(file);
  shim->real = reinterpret_cast<sqlite3_file*>(shim + 1);
  const int rc = g_real->xOpen(g_real, name, shim->real, flags, out_flags);
  shim->base.pMethods = shim->real->pMethods != nullptr ? &kShimMethods : nullptr;
  return rc;
}
int ShimDelete(sqlite3_vfs*, const char* name, int sync_dir) { return g_real->xDelete(g_real, name, sync_dir); }
int ShimAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
  return g_real->xAccess(g_real, name, flags, out);
}
int ShimFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
  return g_real->xFullPathname(g_real, name, n, out);
}
void* ShimDlOpen(sqlite3_vfs*, const char* name) { return g_real->xDlOpen(g_real, name); }
void ShimDlError(sqlite3_vfs*, int n, char* out) { g_real->xDlError(g_real, n, out); }
void (*ShimDlSym(sqlite3_vfs*, void* handle, const char* symbol))(void) {
  return g_real->xDlSym(g_real, handle, symbol);
}
void ShimDlClose(sqlite3_vfs*, void* handle) { g_real->xDlClose(g_real, handle); }
int ShimRandomness(sqlite3_vfs*, int n, char* out) { return g_real->xRandomness(g_real, n, out); }
int ShimSleep(sqlite3_vfs*, int micros) { return g_real->xSleep(g_real, micros); }
int ShimCurrentTime(sqlite3_vfs*, double* out) { return g_real->xCurrentTime(g_real, out); }
int ShimGetLastError(sqlite3_vfs*, int n, char* out) { return g_real->xGetLastError(g_real, n, out); }
int ShimCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) { return g_real->xCurrentTimeInt64(g_real, out); }

sqlite3_vfs g_shim_vfs;

class StorageFaultTest : public ::testing::TestWithParam<Fault> {
 protected:
  void SetUp() override {
    g_real = sqlite3_vfs_find(nullptr);
    ASSERT_NE(g_real, nullptr);
    std::memset(&g_shim_vfs, 0, sizeof g_shim_vfs);
    g_shim_vfs.iVersion = 2;
    g_shim_vfs.szOsFile = static_cast<int>(sizeof(ShimFile)) + g_real->szOsFile;
    g_shim_vfs.mxPathname = g_real->mxPathname;
    g_shim_vfs.zName = "clubiqa-fault";
    g_shim_vfs.xOpen = ShimOpen;
    g_shim_vfs.xDelete = ShimDelete;
    g_shim_vfs.xAccess = ShimAccess;
    g_shim_vfs.xFullPathname = ShimFullPathname;
    g_shim_vfs.xDlOpen = ShimDlOpen;
    g_shim_vfs.xDlError = ShimDlError;
    g_shim_vfs.xDlSym = ShimDlSym;
    g_shim_vfs.xDlClose = ShimDlClose;
    g_shim_vfs.xRandomness = ShimRandomness;
    g_shim_vfs.xSleep = ShimSleep;
    g_shim_vfs.xCurrentTime = ShimCurrentTime;
    g_shim_vfs.xGetLastError = ShimGetLastError;
    g_shim_vfs.xCurrentTimeInt64 = ShimCurrentTimeInt64;
    ASSERT_EQ(sqlite3_vfs_register(&g_shim_vfs, 1), SQLITE_OK);
    dir_ = std::filesystem::temp_directory_path() /
           ("clubiqa-faults-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            std::to_string(static_cast<int>(GetParam())) + "-" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::remove_all(dir_);
  }

  void TearDown() override {
    g_fault = Fault::kNone;
    session_.reset();
    sqlite3_vfs_unregister(&g_shim_vfs);
    sqlite3_vfs_register(g_real, 1);
    std::filesystem::remove_all(dir_);
  }

  void Open(bool create) {
    session_.reset();
    engine::OpenOptions options;
    options.data_source = dir_;
    options.create_server = create;
    options.initial_catalog = create ? "" : "Klub";
    session_ = engine::Session::Open(options);
  }

  // The first error of `batch`, or "" when it ran without one.
  std::string ErrorOf(std::string_view batch) {
    engine::BatchResult result = session_->Execute(batch);
    const engine::Message* error = result.FirstError();
    return error != nullptr ? std::to_string(error->number) + ": " + error->text : "";
  }

  std::string Scalar(std::string_view select) {
    engine::BatchResult result = session_->ExecuteOrThrow(select);
    return result.FirstRows()->rows.at(0).at(0).ToString();
  }

  // A database with 300 acknowledged rows, each inserted by a statement of its own; the session is reopened
  // afterwards, so that the rows are read from the files rather than from the connection's cache.
  void Prepare() {
    Open(true);
    ASSERT_EQ(ErrorOf("CREATE DATABASE Klub"), "");
    Open(false);
    ASSERT_EQ(ErrorOf("CREATE TABLE Mitglied (Nr int NOT NULL PRIMARY KEY, Name varchar (200) NOT NULL)"), "");
    for (int i = 1; i <= 300; ++i) {
      const std::string n = std::to_string(i);
      ASSERT_EQ(ErrorOf("INSERT INTO Mitglied VALUES (" + n + ", 'Mitglied " + n + " mit einem langen Namen')"), "");
    }
    Open(false);
  }

  std::filesystem::path dir_;
  std::unique_ptr<engine::Session> session_;
};

TEST_P(StorageFaultTest, AFaultEndsTheStatementWithAnErrorAndLosesNothingAcknowledged) {
  Prepare();
  g_injected = 0;
  g_fault = GetParam();
  // One statement that reads every page and writes most of them, in a transaction of its own; a second one
  // adds a row. Each either fails or takes full effect.
  const std::string update = ErrorOf("UPDATE Mitglied SET Name = Name + ' geändert'");
  const std::string insert = ErrorOf("INSERT INTO Mitglied VALUES (1000, 'Neu')");
  const Fault fault = g_fault;
  // WAL commits do not sync: a sync fault meets the checkpoint when the last connection closes, after both
  // statements were acknowledged.
  if (fault == Fault::kSync) session_.reset();
  g_fault = Fault::kNone;
  EXPECT_GT(g_injected, 0);
  if (fault != Fault::kSync) {
    EXPECT_NE(update, "") << "a fault reported as success";
    EXPECT_NE(insert, "") << "a fault reported as success";
  }

  Open(false);
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Mitglied WHERE Nr <= 300"), "300");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Mitglied WHERE Name LIKE '% geändert'"), update.empty() ? "300" : "0");
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Mitglied WHERE Nr = 1000"), insert.empty() ? "1" : "0");
  EXPECT_EQ(ErrorOf("INSERT INTO Mitglied VALUES (2000, 'Danach')"), "");
  Open(false);
  EXPECT_EQ(Scalar("SELECT Name FROM Mitglied WHERE Nr = 2000"), "Danach");
}

TEST_P(StorageFaultTest, AFaultInsideATransactionLeavesNoneOfIt) {
  Prepare();
  ASSERT_EQ(ErrorOf("BEGIN TRANSACTION"), "");
  ASSERT_EQ(ErrorOf("ALTER TABLE Mitglied ADD Flag char (1) NULL"), "");
  g_injected = 0;
  g_fault = GetParam();
  const std::string update = ErrorOf("UPDATE Mitglied SET Flag = 'N'");
  const std::string commit = ErrorOf("COMMIT TRANSACTION");
  const Fault fault = g_fault;
  if (fault == Fault::kSync) session_.reset();
  g_fault = Fault::kNone;
  EXPECT_GT(g_injected, 0);
  if (fault != Fault::kSync) {
    EXPECT_NE(update + commit, "") << "a fault reported as success";
  }

  Open(false);
  const std::string flags =
      Scalar("SELECT COUNT(*) FROM Information_Schema.Columns WHERE TABLE_NAME = 'Mitglied' AND COLUMN_NAME = 'Flag'");
  if (update.empty() && commit.empty()) {
    EXPECT_EQ(flags, "1");
    EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Mitglied WHERE Flag = 'N'"), "300");
  } else {
    EXPECT_EQ(flags, "0");  // the column went with the failed transaction
  }
  EXPECT_EQ(Scalar("SELECT COUNT(*) FROM Mitglied"), "300");
}

std::string FaultName(const ::testing::TestParamInfo<Fault>& info) {
  switch (info.param) {
    case Fault::kRead:
      return "ReadError";
    case Fault::kWrite:
      return "WriteError";
    case Fault::kSync:
      return "SyncError";
    case Fault::kFull:
      return "DiskFull";
    case Fault::kNone:
      break;
  }
  return "None";
}

INSTANTIATE_TEST_SUITE_P(Faults, StorageFaultTest,
                         ::testing::Values(Fault::kRead, Fault::kWrite, Fault::kSync, Fault::kFull), FaultName);

}  // namespace
