// How T-SQL values live in SQLite columns (see store.h for the layout):
//   bit and integers -> INTEGER          float, real -> REAL
//   decimal, numeric, money -> TEXT with the column's scale ("1190.00", "-0.5000")
//   strings, uniqueidentifier -> TEXT (UTF-8)
//   datetime, smalldatetime -> TEXT "YYYY-MM-DD HH:MM:SS.mmm"
// The text forms keep equality exact (one spelling per value) so that SQLite indexes can
// answer equality lookups; they are also readable in the sqlite3 shell.
#pragma once

#include <sqlite3.h>

#include <optional>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace engine::storage {

// Declared SQLite type of a column of type `t` ("INTEGER", "REAL", "TEXT").
const char* DeclaredType(const SqlType& t);
// Scale of the stored text of a decimal-like column (money: 4).
int StoredScale(const SqlType& t);

// Binds `v` (already of the column's type, or NULL) as parameter `i`. Values of another type
// class are bound as well as they can be, never throwing.
void BindValue(sqlite3_stmt* stmt, int i, const SqlType& column, const Value& v);
// Binds a lookup key for equality with a column of type `column`. Returns false when the key
// cannot equal any stored value (e.g. 1.005 against numeric(10,2)).
bool BindKey(sqlite3_stmt* stmt, int i, const SqlType& column, const Value& key);
// Reads result column `col` as a value of type `column` into `out`.
void DecodeValue(sqlite3_stmt* stmt, int col, const SqlType& column, Value& out);

// Codecs of the text forms (independent of the session's DATEFORMAT).
std::string EncodeDateTime(DateTime dt);
std::optional<DateTime> DecodeDateTime(std::string_view s);
std::string EncodeDecimal(int64_t units, int scale);
std::optional<Decimal> DecodeDecimal(std::string_view s, int scale);
// Rescales `d` to `scale`; nullopt when digits would be lost or the result overflows.
std::optional<int64_t> Rescale(const Decimal& d, int scale);

}  // namespace engine::storage
