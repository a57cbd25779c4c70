// The embedded SQL Server stand-in: public interface.
//
// A server is a directory holding one SQLite file per database (plus master). A Session is one
// login on such a server; it executes T-SQL batches the way SQL Server 2008-2019 does with the
// database collation Latin1_General_CI_AS and DATEFORMAT dmy, and reports failures with SQL
// Server's error numbers, severities and English texts.
//
// Ownership: a Session owns its SQLite connections; several sessions (in one process or in
// several) may use the same server directory at once. Nothing here is thread-safe: use one
// session from one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace engine {

// ---------------------------------------------------------------------------------------------
// Types and values
// ---------------------------------------------------------------------------------------------

enum class TypeId : uint8_t {
  kNull,  // type of the bare literal NULL; converts to anything
  kBit,
  kTinyInt,
  kSmallInt,
  kInt,
  kBigInt,
  kDecimal,
  kNumeric,
  kMoney,
  kSmallMoney,
  kReal,
  kFloat,
  kChar,
  kVarChar,
  kText,
  kNChar,
  kNVarChar,
  kNText,
  kDateTime,
  kSmallDateTime,
  kUniqueIdentifier,
};

// A T-SQL type with its facets. `length` counts characters for the string types (-1 = max);
// precision/scale are used by decimal/numeric only.
struct SqlType {
  TypeId id = TypeId::kNull;
  int32_t length = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;

  [[nodiscard]] bool IsString() const;        // char, varchar, text, nchar, nvarchar, ntext
  [[nodiscard]] bool IsUnicode() const;       // nchar, nvarchar, ntext
  [[nodiscard]] bool IsFixedString() const;   // char, nchar (blank padded)
  [[nodiscard]] bool IsInteger() const;       // bit, tinyint, smallint, int, bigint
  [[nodiscard]] bool IsExactNumeric() const;  // integers, decimal, numeric, money, smallmoney
  [[nodiscard]] bool IsNumeric() const;       // exact numerics, real, float
  [[nodiscard]] bool IsDateTime() const;      // datetime, smalldatetime
  // SQL Server's data type precedence; higher wins in mixed expressions.
  [[nodiscard]] int Precedence() const;
  // Lower-case base name as INFORMATION_SCHEMA reports it: "varchar", "int", "numeric".
  [[nodiscard]] std::string Name() const;
  // Declaration as written in DDL: "varchar(40)", "numeric(18,8)", "int".
  [[nodiscard]] std::string Declaration() const;
  bool operator==(const SqlType&) const = default;
};

// Exact decimal: value = units / 10^scale. Values that do not fit in 64 bits of units raise
// an arithmetic overflow (8115); every figure the product stores is far below that.
struct Decimal {
  int64_t units = 0;
  uint8_t scale = 0;
};

// datetime: milliseconds since 1900-01-01 00:00:00.000, rounded as SQL Server rounds (.000,
// .003, .007). Negative values reach back to 1753-01-01.
struct DateTime {
  int64_t ms = 0;
};

class Value {
 public:
  Value() = default;  // the untyped NULL
  static Value Null(SqlType type);
  static Value Int(int64_t v, TypeId id = TypeId::kInt);
  static Value Bit(bool v);
  static Value Float(double v, TypeId id = TypeId::kFloat);
  static Value Dec(Decimal d, SqlType type);
  static Value String(std::string utf8, SqlType type);
  static Value VarChar(std::string utf8);   // varchar(len of text, at least 1)
  static Value NVarChar(std::string utf8);  // nvarchar(chars of text, at least 1)
  static Value Date(DateTime dt, TypeId id = TypeId::kDateTime);

  [[nodiscard]] bool is_null() const { return null_; }
  [[nodiscard]] const SqlType& type() const { return type_; }
  void set_type(const SqlType& t) { type_ = t; }

  [[nodiscard]] int64_t as_int() const { return std::get<int64_t>(v_); }
  [[nodiscard]] double as_float() const { return std::get<double>(v_); }
  [[nodiscard]] const Decimal& as_decimal() const { return std::get<Decimal>(v_); }
  [[nodiscard]] const std::string& as_string() const { return std::get<std::string>(v_); }
  [[nodiscard]] DateTime as_datetime() const { return std::get<DateTime>(v_); }

  // The text a client shows for the value (sqlcmd conventions): NULL as "NULL", datetime as
  // "2013-02-20 09:05:00.000", decimals with their scale, floats shortest round-trip.
  [[nodiscard]] std::string ToString() const;

 private:
  SqlType type_;
  bool null_ = true;
  std::variant<std::monostate, int64_t, double, Decimal, std::string, DateTime> v_;
};

// ---------------------------------------------------------------------------------------------
// Errors
// ---------------------------------------------------------------------------------------------

// One message as the server sends it (errors and informational messages alike).
struct Message {
  int number = 0;
  int severity = 0;
  int state = 1;
  int line = 1;  // line of the batch the statement starts on
  std::string text;
};

// How far an error reaches, as SQL Server decides it.
enum class ErrorScope : uint8_t {
  kStatement,  // the statement is undone; the batch goes on
  kBatch,      // the rest of the batch is skipped (an open transaction is rolled back)
  kCompile,    // the batch was rejected before anything ran
  kFatal,      // the session cannot go on (login failed, server directory unusable)
};

// A failure reported by the server: number, severity, state and English text, plus the
// messages that SQL Server sends right after it (1750, 3621, 3727, 4922, ...).
class SqlError : public std::exception {
 public:
  SqlError(int number, int severity, int state, std::string text, ErrorScope scope = ErrorScope::kBatch);
  [[nodiscard]] const char* what() const noexcept override { return message_.text.c_str(); }
  [[nodiscard]] int number() const { return message_.number; }
  [[nodiscard]] int severity() const { return message_.severity; }
  [[nodiscard]] int state() const { return message_.state; }
  [[nodiscard]] const std::string& text() const { return message_.text; }
  [[nodiscard]] ErrorScope scope() const { return scope_; }
  SqlError& set_scope(ErrorScope s) {
    scope_ = s;
    return *this;
  }
  Message& message() { return message_; }
  [[nodiscard]] const Message& message() const { return message_; }
  std::vector<Message>& follow() { return follow_; }
  [[nodiscard]] const std::vector<Message>& follow() const { return follow_; }
  SqlError& Follow(int number, int severity, int state, std::string text);
  // For the engine's own use: the variable part of a message that engine code passes on in a
  // message of its own (the reason a database file cannot be used) or that SQL Server's wording
  // leaves out (the cause of an internal error), so that it never has to parse text(). Empty for
  // most errors; clients should not rely on it.
  [[nodiscard]] const std::string& detail() const { return detail_; }
  SqlError& set_detail(std::string detail) {
    detail_ = std::move(detail);
    return *this;
  }

 private:
  Message message_;
  ErrorScope scope_;
  std::vector<Message> follow_;
  std::string detail_;
};

// ---------------------------------------------------------------------------------------------
// Results
// ---------------------------------------------------------------------------------------------

struct ColumnInfo {
  std::string name;  // empty for an unnamed expression
  SqlType type;
  bool nullable = true;
};

struct ResultSet {
  std::vector<ColumnInfo> columns;
  std::vector<std::vector<Value>> rows;
  // Column ordinal by name (case-insensitive, trailing blanks ignored); nullopt when absent.
  [[nodiscard]] std::optional<size_t> Find(std::string_view name) const;
};

// One item of what a batch returns, in order: a row set for every SELECT, a row count for
// every INSERT/UPDATE/DELETE (unless NOCOUNT is on), and messages (errors, PRINT output,
// informational messages).
struct StatementResult {
  enum class Kind : uint8_t { kRows, kCount, kMessage };
  // The statement kind behind a row set or a count, as a wire protocol names it.
  enum class Command : uint8_t { kOther, kSelect, kInsert, kUpdate, kDelete };
  Kind kind = Kind::kMessage;
  ResultSet rows;         // kRows
  int64_t count = 0;      // kCount
  Message message;        // kMessage
  bool is_error = false;  // kMessage with severity > 10
  // Which statement produced the item: 1, 2, ... in the order the statements started (inner
  // statements of IF and BEGIN...END count too); 0 for the batch itself (a syntax error).
  // Items of one statement are adjacent, so a change of this number is a statement boundary.
  int statement = 0;
  // kRows: false when SET NOCOUNT ON was in effect, so a client shows no row count after it.
  bool counted = true;
  Command command = Command::kOther;  // kRows and kCount
};

struct BatchResult {
  std::vector<StatementResult> items;
  // First error of the batch (severity > 10), or nullptr.
  [[nodiscard]] const Message* FirstError() const;
  // The first row set, or nullptr.
  [[nodiscard]] const ResultSet* FirstRows() const;
  // Sum of the row counts (rows affected).
  [[nodiscard]] int64_t RowsAffected() const;
};

// ---------------------------------------------------------------------------------------------
// Sessions
// ---------------------------------------------------------------------------------------------

struct OpenOptions {
  std::filesystem::path data_source;  // server directory; relative paths resolve against base_dir
  std::filesystem::path base_dir;     // empty: the current directory
  std::string initial_catalog;        // empty: master
  std::string user_id;
  std::string password;
  bool integrated_security = false;  // Integrated Security=SSPI: the current OS user
  bool create_server = false;        // create the server directory when it does not exist
};

// A value bound to a named parameter of a batch. `name` is written as in the batch text, with
// its '@' (`@P1`); names match case-insensitively.
struct NamedValue {
  std::string name;
  Value value;
};

class SessionImpl;

class Session {
 public:
  // Opens a session. Throws SqlError: 4060 for a missing database, 18456 for a rejected login,
  // a clear message (number 2 with ErrorScope::kFatal) for a missing or unusable server directory.
  static std::unique_ptr<Session> Open(const OpenOptions& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Executes one batch. Errors never escape as exceptions (except for a session that cannot
  // go on): they are items of the result, in the order SQL Server sends them. `params` bind
  // the `?` placeholders in order.
  BatchResult Execute(std::string_view batch, std::span<const Value> params = {});
  // Like Execute, with values bound to the named parameters `@name` of the text (what a client
  // declares through sp_executesql). A word that names no parameter stays a variable name.
  BatchResult Execute(std::string_view batch, std::span<const NamedValue> params);

  // Like Execute, but throws the first error of the batch as SqlError after the batch ended.
  BatchResult ExecuteOrThrow(std::string_view batch, std::span<const Value> params = {});

  [[nodiscard]] std::string current_database() const;

 private:
  explicit Session(std::unique_ptr<SessionImpl> impl);
  std::unique_ptr<SessionImpl> impl_;
};

}  // namespace engine
