// A thin RAII layer over the W functions of the ODBC API: handles freed by their owners, the diagnostic
// records of a handle read into plain structs, and texts passed as UTF-16. Everything the provider calls on
// the driver manager goes through here or through odbc_statement.h.
#ifndef CLUBIQA_DB_ODBC_ODBC_API_H_
#define CLUBIQA_DB_ODBC_ODBC_API_H_

// clang-format off
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>
// clang-format on

#include <memory>
#include <string>
#include <vector>

namespace db::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "the W API must take UTF-16 code units");

// A SQLHANDLE of one type (SQL_HANDLE_ENV, _DBC, _STMT), freed with SQLFreeHandle when its owner goes. A
// connection handle is disconnected first.
class Handle {
 public:
  Handle() = default;
  // Allocates a handle of `type` under `parent` (SQL_NULL_HANDLE for an environment). Returns an empty handle
  // when the driver manager refuses.
  static Handle Allocate(SQLSMALLINT type, SQLHANDLE parent);

  [[nodiscard]] SQLHANDLE get() const { return handle_.get(); }
  [[nodiscard]] SQLSMALLINT type() const { return type_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  struct Free {
    SQLSMALLINT type;
    void operator()(SQLHANDLE handle) const;
  };

  SQLSMALLINT type_ = 0;
  std::unique_ptr<void, Free> handle_{nullptr, Free{0}};
};

// One diagnostic record: SQLSTATE, the native error (SQL Server's error number for a server message) and the
// text as the driver sends it, prefixes included.
struct DiagRecord {
  std::string state;
  int native = 0;
  std::string text;

  // Informational (SQLSTATE class 01: PRINT output, changed database context, truncation notes).
  [[nodiscard]] bool is_info() const { return state.starts_with("01"); }
  // The link to the server is gone (SQLSTATE class 08).
  [[nodiscard]] bool is_link_failure() const { return state.starts_with("08"); }
};

// Every diagnostic record the last call on `handle` left, in order.
std::vector<DiagRecord> ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle);
inline std::vector<DiagRecord> ReadDiagnostics(const Handle& handle) {
  return ReadDiagnostics(handle.type(), handle.get());
}

inline bool Succeeded(SQLRETURN rc) { return rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO; }

// A UTF-16 text as the W functions take it.
inline SQLWCHAR* WideText(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

}  // namespace db::odbc

#endif  // CLUBIQA_DB_ODBC_ODBC_API_H_
