// The tables and statement texts of the benchmark, shaped like the club application's: a
// 106-column chart-of-accounts template, a correspondence table keyed by (AdrNr, LfdNr), and a
// 150-column member table. Both sides receive the same texts, built here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

enum class Kind : uint8_t {
  kRowNumber,  // int key: the row number
  kRowText,    // varchar key: the row number as text
  kAdrNr,      // first key column of the correspondence table: four letters per address
  kLfdNr,      // second key column: 1..4 within an address
  kVarChar,
  kChar1,
  kInt,
  kNumeric,
  kDateTime,
};

struct Column {
  std::string name;
  Kind kind;
  int length = 0;  // varchar only
};

struct Table {
  std::string name;
  std::vector<Column> columns;
  std::string primary_key;  // column list of the key
};

constexpr int kLettersPerAddress = 4;

Table AccountsTable();  // 106 columns, key KONTO varchar(10)
Table LettersTable();   // key (AdrNr, LfdNr)
Table MembersTable();   // 150 columns, key MitgliedNr int
// Table `number` of the probe database: "Tab0042", 100 columns (Nr int key, Feld_01..Feld_99).
Table CatalogTable(int number);

std::string CreateTableSql(const Table& table);
// INSERT with a column list and `count` rows of VALUES, rows first_row .. first_row + count - 1.
std::string InsertSql(const Table& table, int64_t first_row, int count);
// The lookup the application runs to number a new letter of an address.
std::string NextLetterNumberSql(int64_t adr_nr);

// Deterministic pseudo-random numbers, so both sides look up the same addresses.
class Sequence {
 public:
  explicit Sequence(uint64_t seed) : state_(seed) {}
  uint64_t Next(uint64_t bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return (state_ >> 33) % bound;
  }

 private:
  uint64_t state_;
};

}  // namespace bench
