// Storage layer: database files, the catalog round trip, identity counters, unique keys, schema
// changes seen by other connections, damaged files, the server directory, logins and the trace.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "errors.h"
#include "server.h"
#include "store.h"
#include "values.h"

namespace engine {
namespace {

namespace fs = std::filesystem;

// A fresh directory under the system's temp directory, removed at the end of the test.
class TempDir {
 public:
  TempDir() {
    static std::atomic<int> counter{0};
    path_ = fs::temp_directory_path() /
            ("store_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
             std::to_string(reinterpret_cast<uintptr_t>(this)) + "_" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

SqlType T(TypeId id, int32_t length = 0, uint8_t precision = 0, uint8_t scale = 0) {
  return SqlType{id, length, precision, scale};
}

ColumnDef Col(std::string name, SqlType type, bool nullable = true) {
  ColumnDef c;
  c.name = std::move(name);
  c.type = type;
  c.nullable = nullable;
  return c;
}

IndexDef Index(std::string name, std::vector<int> columns, bool unique, bool pk = false) {
  IndexDef i;
  i.name = std::move(name);
  i.columns = std::move(columns);
  i.descending.assign(i.columns.size(), false);
  i.unique = unique;
  i.primary_key = pk;
  i.clustered = pk;
  return i;
}

// Runs `fn` as one write statement.
template <typename Fn>
void Write(Store& s, Fn&& fn) {
  s.BeginStatement(true);
  try {
    fn();
  } catch (...) {
    s.RollbackStatement();
    throw;
  }
  s.CommitStatement();
}

std::string Render(const Row& row) {
  std::string out;
  for (size_t i = 0; i < row.size(); ++i) out += (i ? "|" : "") + row[i].ToString();
  return out;
}

std::vector<std::string> AllRows(Store& s, const TableDef& t) {
  std::vector<std::string> out;
  s.BeginStatement(false);
  s.Scan(t, [&](int64_t, Row& row) {
    out.push_back(Render(row));
    return true;
  });
  s.CommitStatement();
  return out;
}

// Member(id int identity PK, name varchar(20), amount numeric(10,2), born datetime, code char(4))
TableDef MemberTable() {
  TableDef t;
  t.name = "Member";
  ColumnDef id = Col("Id", T(TypeId::kInt), false);
  id.identity = true;
  id.seed = 100;
  id.increment = 5;
  t.columns = {id, Col("Name", T(TypeId::kVarChar, 20)), Col("Amount", T(TypeId::kNumeric, 0, 10, 2)),
               Col("Born", T(TypeId::kDateTime)), Col("Code", T(TypeId::kChar, 4))};
  return t;
}

Row MemberRow(int64_t id, std::string name, int64_t cents, DateTime born, std::string code) {
  return {Value::Int(id), Value::String(std::move(name), T(TypeId::kVarChar, 20)),
          Value::Dec(Decimal{cents, 2}, T(TypeId::kNumeric, 0, 10, 2)), Value::Date(born),
          Value::String(std::move(code), T(TypeId::kChar, 4))};
}

int ErrorOf(const std::function<void()>& fn, std::string* text = nullptr) {
  try {
    fn();
  } catch (const SqlError& e) {
    if (text) *text = e.text();
    return e.number();
  }
  return 0;
}

TEST(StoreTest, CreateInsertReopenKeepsRowsAndValues) {
  TempDir dir;
  fs::path file = dir.path() / "db.sqlite";
  {
    auto store = Store::Open(file, "test", true);
    Write(*store, [&] { store->CreateTable(MemberTable(), MakeDateTime(2020, 1, 2)); });
    const TableDef& t = *store->catalog().FindTable("member");
    Write(*store, [&] {
      store->Insert(t, MemberRow(1, "Müller", 119000, MakeDateTime(1970, 5, 17, 8, 30, 0, 997), "AB  "));
      store->Insert(t, MemberRow(2, "x", -50, MakeDateTime(1753, 1, 1), "Z   "));
      store->Insert(t, {Value::Int(3), Value::Null(T(TypeId::kVarChar, 20)), Value::Null(T(TypeId::kNumeric)),
                        Value::Null(T(TypeId::kDateTime)), Value::Null(T(TypeId::kChar, 4))});
    });
  }
  auto store = Store::Open(file, "test", false);
  const TableDef* t = store->catalog().FindTable("MEMBER ");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(AllRows(*store, *t), (std::vector<std::string>{
                                     "1|Müller|1190.00|1970-05-17 08:30:00.997|AB  ",
                                     "2|x|-0.50|1753-01-01 00:00:00.000|Z   ",
                                     "3|NULL|NULL|NULL|NULL",
                                 }));
  // Decoded values carry the column's type.
  Row row;
  ASSERT_TRUE(store->Get(*t, 1, row));
  EXPECT_EQ(row[4].type(), T(TypeId::kChar, 4));
  EXPECT_EQ(row[2].type(), T(TypeId::kNumeric, 0, 10, 2));
  EXPECT_EQ(row[2].as_decimal().units, 119000);
}

TEST(StoreTest, CatalogRoundTripKeepsEveryFacet) {
  TempDir dir;
  fs::path file = dir.path() / "db.sqlite";
  int32_t parent_id = 0;
  {
    auto store = Store::Open(file, "test", true);
    Write(*store, [&] {
      TableDef p = MemberTable();
      p.id = store->AllocateObjectId();
      p.columns[2].default_id = store->AllocateObjectId();
      p.columns[2].default_text = "((0))";
      IndexDef pk = Index("PK_Member", {0}, true, true);
      pk.constraint_id = store->AllocateObjectId();
      p.indexes = {pk};
      store->CreateTable(p, MakeDateTime(2021, 3, 4, 5, 6, 7));
      store->AddObject({p.columns[2].default_id, "DF_Member_Amount", "D", p.id, MakeDateTime(2021, 3, 4)});
      parent_id = p.id;

      TableDef c;
      c.name = "Child";
      c.columns = {Col("Id", T(TypeId::kBigInt), false),
                   Col("MemberId", T(TypeId::kInt)),
                   Col("Note", T(TypeId::kNVarChar, -1)),
                   Col("Rate", T(TypeId::kFloat)),
                   Col("Flag", T(TypeId::kBit)),
                   Col("Cash", T(TypeId::kMoney)),
                   Col("Guid", T(TypeId::kUniqueIdentifier)),
                   Col("Stamp", T(TypeId::kSmallDateTime))};
      store->CreateTable(c, MakeDateTime(2021, 3, 4));
      const TableDef* child = store->catalog().FindTable("Child");
      IndexDef ix = Index("IX_Child", {1, 2}, false);
      ix.descending = {false, true};
      store->CreateIndex(child->id, ix);
      ForeignKeyDef fk;
      fk.id = store->AllocateObjectId();
      fk.name = "FK_Child_Member";
      fk.table_id = child->id;
      fk.columns = {1};
      fk.ref_table_id = p.id;
      fk.ref_columns = {0};
      fk.on_delete = RefActionKind::kCascade;
      fk.trusted = false;
      store->AddForeignKey(fk);

      TableDef v;
      v.name = "vMember";
      v.view_select = "SELECT Id FROM Member";
      v.view_definition = "CREATE VIEW vMember AS SELECT Id FROM Member";
      v.columns = {Col("Id", T(TypeId::kInt), false)};
      store->CreateView(v, MakeDateTime(2021, 3, 5));
    });
  }
  auto store = Store::Open(file, "test", false);
  const Catalog& c = store->catalog();
  const TableDef* p = c.FindTable("member");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->id, parent_id);
  ASSERT_EQ(p->columns.size(), 5u);
  EXPECT_TRUE(p->columns[0].identity);
  EXPECT_EQ(p->columns[0].seed, 100);
  EXPECT_EQ(p->columns[0].increment, 5);
  EXPECT_FALSE(p->columns[0].nullable);
  EXPECT_EQ(p->columns[2].type, T(TypeId::kNumeric, 0, 10, 2));
  EXPECT_EQ(p->columns[2].default_text, "((0))");
  EXPECT_EQ(p->columns[1].type, T(TypeId::kVarChar, 20));
  ASSERT_NE(p->PrimaryKey(), nullptr);
  EXPECT_EQ(p->PrimaryKey()->name, "PK_Member");
  EXPECT_EQ(p->PrimaryKey()->index_id, 1);
  EXPECT_EQ(p->ClusteredIndex(), p->PrimaryKey());
  EXPECT_EQ(c.FindObject("pk_member")->xtype, "PK");
  EXPECT_EQ(c.FindObject("DF_Member_Amount")->parent_id, parent_id);
  EXPECT_EQ(FormatDateTime(c.FindObject("Member")->crdate), "2021-03-04 05:06:07.000");

  const TableDef* child = c.FindTable("CHILD");
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(child->columns[2].type, T(TypeId::kNVarChar, -1));
  EXPECT_EQ(child->columns[5].type.id, TypeId::kMoney);
  EXPECT_EQ(child->columns[6].type.id, TypeId::kUniqueIdentifier);
  EXPECT_EQ(child->columns[7].type.id, TypeId::kSmallDateTime);
  const IndexDef* ix = child->FindIndex("ix_child");
  ASSERT_NE(ix, nullptr);
  EXPECT_EQ(ix->index_id, 2);
  EXPECT_EQ(ix->columns, (std::vector<int>{1, 2}));
  EXPECT_EQ(ix->descending, (std::vector<bool>{false, true}));
  ASSERT_EQ(c.ReferencesTo(parent_id).size(), 1u);
  const ForeignKeyDef& fk = *c.ReferencesFrom(child->id)[0];
  EXPECT_EQ(fk.name, "FK_Child_Member");
  EXPECT_EQ(fk.on_delete, RefActionKind::kCascade);
  EXPECT_FALSE(fk.trusted);
  EXPECT_TRUE(fk.enabled);
  EXPECT_EQ(c.FindObject("FK_Child_Member")->xtype, "F");

  const TableDef* v = c.FindTable("vmember");
  ASSERT_NE(v, nullptr);
  EXPECT_TRUE(v->is_view);
  EXPECT_EQ(v->view_select, "SELECT Id FROM Member");
  EXPECT_EQ(c.FindObject("vMember")->xtype, "V");
}

TEST(StoreTest, IdentityPersistsAcrossReopen) {
  TempDir dir;
  fs::path file = dir.path() / "db.sqlite";
  {
    auto store = Store::Open(file, "test", true);
    Write(*store, [&] { store->CreateTable(MemberTable(), Now()); });
    const TableDef& t = *store->catalog().FindTable("Member");
    Write(*store, [&] {
      EXPECT_EQ(store->NextIdentity(t), 100);
      EXPECT_EQ(store->NextIdentity(t), 105);
    });
    // A rolled-back statement does not give its number back: the numbering keeps a gap.
    store->BeginStatement(true);
    EXPECT_EQ(store->NextIdentity(t), 110);
    store->RollbackStatement();
  }
  auto store = Store::Open(file, "test", false);
  const TableDef& t = *store->catalog().FindTable("Member");
  Write(*store, [&] {
    EXPECT_EQ(store->NextIdentity(t), 115);
    store->NoteIdentity(t, 500);
    EXPECT_EQ(store->NextIdentity(t), 505);
    store->NoteIdentity(t, 7);  // smaller explicit values leave the counter alone
    EXPECT_EQ(store->NextIdentity(t), 510);
    store->ResetIdentity(t);
    EXPECT_EQ(store->NextIdentity(t), 100);
  });
}

TEST(StoreTest, UniqueViolationsBecomeDuplicateKeyErrors) {
  TempDir dir;
  auto store = Store::Open(dir.path() / "db.sqlite", "test", true);
  TableDef def;
  def.name = "T";
  def.columns = {Col("a", T(TypeId::kInt), false), Col("b", T(TypeId::kVarChar, 10)), Col("c", T(TypeId::kInt))};
  IndexDef pk = Index("PK_x", {0, 1}, true, true);
  pk.constraint_id = 0;
  Write(*store, [&] {
    store->CreateTable(def, Now());
    int32_t id = store->catalog().FindTable("T")->id;
    pk.constraint_id = store->AllocateObjectId();
    store->CreateIndex(id, pk);
    store->CreateIndex(id, Index("UX_c", {2}, true));
  });
  const TableDef& t = *store->catalog().FindTable("T");
  auto row = [](int64_t a, std::string b, std::optional<int64_t> c) {
    return Row{Value::Int(a), Value::String(std::move(b), T(TypeId::kVarChar, 10)),
               c ? Value::Int(*c) : Value::Null(T(TypeId::kInt))};
  };
  Write(*store, [&] { store->Insert(t, row(1, "abc", 1)); });
  std::string text;
  // Key equality follows the collation: 'ABC ' is 'abc'.
  EXPECT_EQ(ErrorOf([&] { Write(*store, [&] { store->Insert(t, row(1, "ABC ", 2)); }); }, &text), 2627);
  EXPECT_EQ(text,
            "Violation of PRIMARY KEY constraint 'PK_x'. Cannot insert duplicate key in object 'dbo.T'. "
            "The duplicate key value is (1, ABC ).");
  EXPECT_EQ(ErrorOf([&] { Write(*store, [&] { store->Insert(t, row(2, "abc", 1)); }); }, &text), 2601);
  EXPECT_EQ(text,
            "Cannot insert duplicate key row in object 'dbo.T' with unique index 'UX_c'. "
            "The duplicate key value is (1).");
  // NULL is a key value of a unique index, as SQL Server treats it.
  Write(*store, [&] { store->Insert(t, row(3, "n", std::nullopt)); });
  EXPECT_EQ(ErrorOf([&] { Write(*store, [&] { store->Insert(t, row(4, "n", std::nullopt)); }); }, &text), 2601);
  EXPECT_NE(text.find("(<NULL>)"), std::string::npos);
  // Updates are checked the same way, and a row may keep its own key.
  int64_t rowid = 0;
  store->BeginStatement(false);
  store->SeekEq(t, std::vector<int>{0}, std::vector<Value>{Value::Int(3)}, [&](int64_t id, Row&) {
    rowid = id;
    return false;
  });
  store->CommitStatement();
  EXPECT_EQ(ErrorOf([&] { Write(*store, [&] { store->Update(t, rowid, row(1, "abc", 9)); }); }), 2627);
  EXPECT_EQ(ErrorOf([&] { Write(*store, [&] { store->Update(t, rowid, row(3, "n", std::nullopt)); }); }), 0);
  EXPECT_EQ(AllRows(*store, t), (std::vector<std::string>{"1|abc|1", "3|n|NULL"}));
}

TEST(StoreTest, CreateUniqueIndexOverDuplicatesFails) {
  TempDir dir;
  auto store = Store::Open(dir.path() / "db.sqlite", "test", true);
  TableDef def;
  def.name = "T";
  def.columns = {Col("a", T(TypeId::kInt)), Col("b", T(TypeId::kVarChar, 10))};
  Write(*store, [&] { store->CreateTable(def, Now()); });
  const TableDef& t = *store->catalog().FindTable("T");
  Write(*store, [&] {
    store->Insert(t, {Value::Int(1), Value::String("x", T(TypeId::kVarChar, 10))});
    store->Insert(t, {Value::Int(2), Value::String("Q", T(TypeId::kVarChar, 10))});
    store->Insert(t, {Value::Int(3), Value::String("q", T(TypeId::kVarChar, 10))});
  });
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Write(*store, [&] { store->CreateIndex(t.id, Index("UX_b", {1}, true)); }); }, &text), 1505);
  EXPECT_NE(text.find("object name 'dbo.T' and the index name 'UX_b'"), std::string::npos) << text;
  // The failed statement left neither metadata nor index behind.
  EXPECT_EQ(store->catalog().FindTable("T")->indexes.size(), 0u);
  Write(*store, [&] { store->CreateIndex(t.id, Index("UX_a", {0}, true)); });
  EXPECT_EQ(store->catalog().FindTable("T")->indexes.size(), 1u);
}

TEST(StoreTest, SeekEqUsesIndexAndCollation) {
  TempDir dir;
  auto store = Store::Open(dir.path() / "db.sqlite", "test", true);
  TableDef def;
  def.name = "T";
  def.columns = {Col("k", T(TypeId::kVarChar, 10)), Col("n", T(TypeId::kInt)), Col("d", T(TypeId::kDecimal, 0, 9, 3))};
  Write(*store, [&] {
    store->CreateTable(def, Now());
    const TableDef& t = *store->catalog().FindTable("T");
    store->CreateIndex(t.id, Index("IX_k", {0}, false));
    for (int i = 0; i < 50; ++i) {
      store->Insert(t, {Value::String("Key" + std::to_string(i), T(TypeId::kVarChar, 10)), Value::Int(i),
                        Value::Dec(Decimal{i * 1000 + 5, 3}, T(TypeId::kDecimal, 0, 9, 3))});
    }
  });
  const TableDef& t = *store->catalog().FindTable("T");
  std::vector<std::string> found;
  auto collect = [&](int64_t, Row& row) {
    found.push_back(Render(row));
    return true;
  };
  store->BeginStatement(false);
  store->SeekEq(t, std::vector<int>{0}, std::vector<Value>{Value::VarChar("KEY7  ")}, collect);
  // A decimal key of another scale matches; one with more digits than the column cannot.
  store->SeekEq(t, std::vector<int>{2}, std::vector<Value>{Value::Dec(Decimal{85, 1}, T(TypeId::kDecimal, 0, 2, 1))},
                collect);
  store->SeekEq(t, std::vector<int>{2}, std::vector<Value>{Value::Dec(Decimal{80051, 4}, T(TypeId::kDecimal, 0, 5, 4))},
                collect);
  EXPECT_EQ(store->CountEq(t, std::vector<int>{1}, std::vector<Value>{Value::Int(9)}), 1);
  std::vector<int> wanted{1};
  store->SeekEqColumns(t, std::vector<int>{0}, std::vector<Value>{Value::VarChar("key3")}, wanted, collect);
  store->CommitStatement();
  EXPECT_EQ(found, (std::vector<std::string>{"Key7|7|7.005", "NULL|3|NULL"}))
      << "8.5 must not match 8.005; only column n was read for the last seek";
  // The lookup goes through the index, not a scan.
  sqlite3_stmt* plan = nullptr;
  std::string sql = "EXPLAIN QUERY PLAN SELECT rowid FROM " + t.StorageName() + " WHERE c1 COLLATE TSQL_CI = 'x'";
  ASSERT_EQ(sqlite3_prepare_v2(store->handle(), sql.c_str(), -1, &plan, nullptr), SQLITE_OK);
  ASSERT_EQ(sqlite3_step(plan), SQLITE_ROW);
  std::string detail = reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
  sqlite3_finalize(plan);
  EXPECT_NE(detail.find("INDEX " + t.StorageName() + "_i2"), std::string::npos) << detail;
}

TEST(StoreTest, NestedScansOfOneTable) {
  TempDir dir;
  auto store = Store::Open(dir.path() / "db.sqlite", "test", true);
  TableDef def;
  def.name = "T";
  def.columns = {Col("a", T(TypeId::kInt))};
  Write(*store, [&] {
    store->CreateTable(def, Now());
    for (int i = 1; i <= 3; ++i) store->Insert(*store->catalog().FindTable("T"), {Value::Int(i)});
  });
  const TableDef& t = *store->catalog().FindTable("T");
  // A self join: the inner scan runs while the outer one is open.
  int pairs = 0;
  store->BeginStatement(false);
  store->Scan(t, [&](int64_t, Row& outer) {
    int64_t a = outer[0].as_int();
    store->Scan(t, [&](int64_t, Row& inner) {
      pairs += inner[0].as_int() >= a;
      return true;
    });
    return true;
  });
  store->CommitStatement();
  EXPECT_EQ(pairs, 6);
}

TEST(StoreTest, AddColumnFillsExistingRows) {
  TempDir dir;
  auto store = Store::Open(dir.path() / "db.sqlite", "test", true);
  TableDef def;
  def.name = "T";
  def.columns = {Col("a", T(TypeId::kInt))};
  Write(*store, [&] {
    store->CreateTable(def, Now());
    const TableDef& t = *store->catalog().FindTable("T");
    store->Insert(t, {Value::Int(1)});
    store->Insert(t, {Value::Int(2)});
  });
  int32_t id = store->catalog().FindTable("T")->id;
  Write(*store, [&] {
    store->AddColumn(id, Col("Flag", T(TypeId::kBit), false), Value::Bit(false));
    store->AddColumn(id, Col("Eintritt ", T(TypeId::kDateTime)), Value::Null(T(TypeId::kDateTime)));
    store->AddColumn(id, Col("Fee", T(TypeId::kMoney)), Value::Dec(Decimal{125, 1}, T(TypeId::kMoney)));
  });
  const TableDef& t = *store->catalog().FindTable("T");
  EXPECT_EQ(t.FindColumn("EINTRITT"), 2);
  EXPECT_EQ(t.columns[3].colid, 4);
  EXPECT_EQ(AllRows(*store, t), (std::vector<std::string>{"1|0|NULL|12.5000", "2|0|NULL|12.5000"}));
}

TEST(StoreTest, ReplaceAndDropColumnKeepData) {
  TempDir dir;
  auto store = Store::Open(dir.path() / "db.sqlite", "test", true);
  TableDef def;
  def.name = "T";
  def.columns = {Col("a", T(TypeId::kInt)), Col("b", T(TypeId::kInt)), Col("c", T(TypeId::kVarChar, 5))};
  Write(*store, [&] {
    store->CreateTable(def, Now());
    const TableDef& t = *store->catalog().FindTable("T");
    store->CreateIndex(t.id, Index("IX_c", {2}, false));
    store->Insert(t, {Value::Int(1), Value::Int(7), Value::String("x", T(TypeId::kVarChar, 5))});
  });
  const TableDef& t = *store->catalog().FindTable("T");
  // int -> varchar: the executor rewrites the values; '007' must stay text.
  Write(*store, [&] {
    ColumnDef b = t.columns[1];
    b.type = T(TypeId::kVarChar, 10);
    store->ReplaceColumn(t.id, b);
    store->Update(
        t, 1,
        {Value::Int(1), Value::String("007", T(TypeId::kVarChar, 10)), Value::String("x", T(TypeId::kVarChar, 5))});
    store->DropColumn(t.id, t.columns[0].colid);
  });
  const TableDef& after = *store->catalog().FindTable("T");
  ASSERT_EQ(after.columns.size(), 2u);
  EXPECT_EQ(after.indexes[0].columns, std::vector<int>{1});
  EXPECT_EQ(AllRows(*store, after), std::vector<std::string>{"007|x"});
  auto reopened = Store::Open(dir.path() / "db.sqlite", "test", false);
  EXPECT_EQ(reopened->catalog().FindTable("T")->indexes[0].columns, std::vector<int>{1});
  EXPECT_EQ(AllRows(*reopened, *reopened->catalog().FindTable("T")), std::vector<std::string>{"007|x"});
}

TEST(StoreTest, TransactionsAndRolledBackDdl) {
  TempDir dir;
  auto store = Store::Open(dir.path() / "db.sqlite", "test", true);
  TableDef def;
  def.name = "T";
  def.columns = {Col("a", T(TypeId::kInt))};
  Write(*store, [&] { store->CreateTable(def, Now()); });
  // A failed DDL statement leaves no trace in the catalog.
  store->BeginStatement(true);
  TableDef other = def;
  other.name = "U";
  store->CreateTable(other, Now());
  EXPECT_NE(store->catalog().FindTable("U"), nullptr);
  store->RollbackStatement();
  EXPECT_EQ(store->catalog().FindTable("U"), nullptr);

  const TableDef* t = store->catalog().FindTable("T");
  store->BeginTransaction();
  store->BeginTransaction();
  EXPECT_EQ(store->trancount(), 2);
  Write(*store, [&] { store->Insert(*t, {Value::Int(1)}); });
  // A failing statement inside the transaction is undone alone.
  store->BeginStatement(true);
  store->Insert(*t, {Value::Int(2)});
  store->RollbackStatement();
  store->CommitTransaction();
  store->CommitTransaction();
  EXPECT_EQ(AllRows(*store, *t), std::vector<std::string>{"1"});
  store->BeginTransaction();
  Write(*store, [&] { store->DeleteAll(*t); });
  store->RollbackTransaction();
  EXPECT_EQ(store->trancount(), 0);
  EXPECT_EQ(AllRows(*store, *t), std::vector<std::string>{"1"});
  EXPECT_EQ(ErrorOf([&] { store->CommitTransaction(); }), 3902);
}

TEST(StoreTest, SecondConnectionSeesSchemaChangesButRowsDoNotReload) {
  TempDir dir;
  fs::path file = dir.path() / "db.sqlite";
  auto a = Store::Open(file, "test", true);
  auto b = Store::Open(file, "test", false);
  TableDef def;
  def.name = "Shared";
  def.columns = {Col("a", T(TypeId::kInt))};
  Write(*a, [&] { a->CreateTable(def, Now()); });
  b->BeginStatement(false);
  const TableDef* seen = b->catalog().FindTable("shared");
  b->CommitStatement();
  ASSERT_NE(seen, nullptr);
  Write(*a, [&] { a->Insert(*a->catalog().FindTable("Shared"), {Value::Int(5)}); });
  b->BeginStatement(false);
  EXPECT_EQ(b->catalog().FindTable("shared"), seen) << "a row insert must not reload the catalog";
  EXPECT_EQ(b->CountRows(*seen), 1);
  b->CommitStatement();
  Write(*a, [&] { a->AddColumn(a->catalog().FindTable("Shared")->id, Col("b", T(TypeId::kInt)), Value::Int(3)); });
  b->BeginStatement(false);
  const TableDef* now = b->catalog().FindTable("shared");
  ASSERT_NE(now, nullptr);
  EXPECT_EQ(now->columns.size(), 2u);
  b->CommitStatement();
  EXPECT_EQ(AllRows(*b, *now), std::vector<std::string>{"5|3"});
}

TEST(StoreTest, DamagedOrForeignFilesGiveAClearError) {
  TempDir dir;
  fs::path garbage = dir.path() / "garbage.sqlite";
  std::ofstream(garbage) << std::string(5000, 'x');
  std::string text;
  EXPECT_EQ(ErrorOf([&] { Store::Open(garbage, "g", false); }, &text), 5172);
  EXPECT_NE(text.find("garbage.sqlite"), std::string::npos) << text;

  fs::path foreign = dir.path() / "foreign.sqlite";
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(foreign.string().c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE x(a)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(ErrorOf([&] { Store::Open(foreign, "f", false); }, &text), 5172);
  EXPECT_NE(text.find("_meta"), std::string::npos) << text;

  EXPECT_EQ(ErrorOf([&] { Store::Open(dir.path() / "missing.sqlite", "m", false); }), 5172);

  // A damaged database file in a server directory spoils only that database.
  auto server = Server::Open(dir.path() / "srv", true);
  server->CreateDatabase("broken");
  std::ofstream(server->FindDatabase("broken")->file, std::ios::trunc) << "not a database at all";
  EXPECT_EQ(ErrorOf([&] { server->OpenDatabase("broken"); }), 5172);
  EXPECT_NE(server->OpenDatabase("master"), nullptr);
}

TEST(ServerTest, DatabasesWithOddNames) {
  TempDir dir;
  fs::path root = dir.path() / "server";
  EXPECT_EQ(ErrorOf([&] { Server::Open(root, false); }), 2);
  auto server = Server::Open(root, true);
  server->CreateDatabase("ZENTIX'01");
  server->CreateDatabase("a b");
  server->CreateDatabase("zentix002");
  std::string text;
  EXPECT_EQ(ErrorOf([&] { server->CreateDatabase("ZENTIX002"); }, &text), 1801);
  EXPECT_EQ(ErrorOf([&] { server->DropDatabase("nope"); }, &text), 3701);
  EXPECT_EQ(text, "Cannot drop the database 'nope', because it does not exist or you do not have permission.");

  auto names = [](Server& s) {
    std::string out;
    for (const DatabaseInfo& info : s.ListDatabases()) out += std::to_string(info.dbid) + ":" + info.name + ";";
    return out;
  };
  EXPECT_EQ(names(*server), "1:master;5:ZENTIX'01;6:a b;7:zentix002;");
  // Another server object (another process) sees the same list and the files are id-named.
  auto other = Server::Open(root, false);
  EXPECT_EQ(names(*other), names(*server));
  EXPECT_EQ(other->FindDatabase("zentix'01")->file.filename(), "db5.sqlite");
  auto store = other->OpenDatabase("A B");
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->name(), "a b");
  store.reset();

  fs::path file = server->FindDatabase("a b")->file;
  other->DropDatabase("A B");
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(names(*server), "1:master;5:ZENTIX'01;7:zentix002;");
  EXPECT_EQ(server->OpenDatabase("a b"), nullptr);
  server->CreateDatabase("a b");
  EXPECT_EQ(names(*server), "1:master;5:ZENTIX'01;7:zentix002;8:a b;");
  EXPECT_NE(ErrorOf([&] { server->DropDatabase("master"); }), 0);

  // A directory with other content but no master is not a server.
  fs::create_directories(dir.path() / "plain");
  std::ofstream(dir.path() / "plain" / "readme.txt") << "x";
  EXPECT_EQ(ErrorOf([&] { Server::Open(dir.path() / "plain", false); }), 2);
}

TEST(ServerTest, LoginsFromServerIni) {
  TempDir dir;
  auto open_with = [&](const std::string& ini) {
    std::ofstream(dir.path() / "server.ini", std::ios::trunc) << ini;
    return Server::Open(dir.path(), true);
  };
  auto anyone = open_with("[Server]\nTrace=0\n");
  EXPECT_EQ(ErrorOf([&] { anyone->CheckLogin("who", "ever", false); }), 0);

  const char* user = std::getenv("USER");
  std::string os_user = user && *user ? user : "nobody";
  auto checked = open_with("\xEF\xBB\xBF; logins\r\n[LOGINS]\r\nsa = Secret\r\n" + os_user + "=x\r\n");
  EXPECT_EQ(ErrorOf([&] { checked->CheckLogin("SA", "Secret", false); }), 0);
  std::string text;
  EXPECT_EQ(ErrorOf([&] { checked->CheckLogin("sa", "secret", false); }, &text), 18456);
  EXPECT_EQ(text, "Login failed for user 'sa'.");
  EXPECT_EQ(ErrorOf([&] { checked->CheckLogin("bob", "Secret", false); }), 18456);
  if (user && *user) {
    EXPECT_EQ(ErrorOf([&] { checked->CheckLogin("", "", true); }), 0);
  }

  auto others = open_with("[Logins]\nsomeone_else_entirely=pw\n");
  if (user && *user) {
    EXPECT_EQ(ErrorOf([&] { others->CheckLogin("", "", true); }), 18456);
  }
}

TEST(ServerTest, TraceLines) {
  TempDir dir;
  std::ofstream(dir.path() / "server.ini") << "[server]\ntrace = 1\n";
  auto server = Server::Open(dir.path(), true);
  ASSERT_TRUE(server->trace_enabled());
  BatchResult ok;
  StatementResult count;
  count.kind = StatementResult::Kind::kCount;
  count.count = 3;
  ok.items.push_back(count);
  server->Trace("zentix001", "UPDATE t SET a = 'x\"y'\r\n\tWHERE b = 'c:\\d'\x01", ok);
  BatchResult failed;
  StatementResult error;
  error.kind = StatementResult::Kind::kMessage;
  error.is_error = true;
  error.message.number = 208;
  error.message.severity = 16;
  error.message.text = "Invalid object name 'x'.";
  failed.items.push_back(error);
  server->Trace("master", "SELECT * FROM x", failed);
  std::ifstream in(dir.path() / "trace.jsonl");
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(
      text.str(),
      "{\"db\":\"zentix001\",\"sql\":\"UPDATE t SET a = 'x\\\"y'\\r\\n\\tWHERE b = 'c:\\\\d'\\u0001\",\"rows\":3}\n"
      "{\"db\":\"master\",\"sql\":\"SELECT * FROM x\",\"error\":208,\"message\":\"Invalid object name 'x'.\"}\n");
}

}  // namespace
}  // namespace engine
