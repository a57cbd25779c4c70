#include "odbc/odbc_api.h"

#include <algorithm>
#include <array>

#include "odbc/utf16.h"

namespace db::odbc {

void Handle::Free::operator()(SQLHANDLE handle) const {
  if (type == SQL_HANDLE_DBC) SQLDisconnect(handle);
  SQLFreeHandle(type, handle);
}

Handle Handle::Allocate(SQLSMALLINT type, SQLHANDLE parent) {
  SQLHANDLE handle = SQL_NULL_HANDLE;
  Handle result;
  if (!Succeeded(SQLAllocHandle(type, parent, &handle))) return result;
  result.type_ = type;
  result.handle_ = std::unique_ptr<void, Free>(handle, Free{type});
  return result;
}

std::vector<DiagRecord> ReadDiagnostics(SQLSMALLINT type, SQLHANDLE handle) {
  std::vector<DiagRecord> records;
  if (handle == SQL_NULL_HANDLE) return records;
  for (SQLSMALLINT number = 1;; ++number) {
    std::array<SQLWCHAR, 6> state{};
    SQLINTEGER native = 0;
    std::u16string text(512, u'\0');
    SQLSMALLINT length = 0;
    SQLRETURN rc = SQLGetDiagRecW(type, handle, number, state.data(), &native, reinterpret_cast<SQLWCHAR*>(text.data()),
                                  static_cast<SQLSMALLINT>(text.size()), &length);
    if (rc == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(text.size())) {
      // The message was longer than the buffer: ask again with room for all of it.
      text.assign(static_cast<size_t>(length) + 1, u'\0');
      rc = SQLGetDiagRecW(type, handle, number, state.data(), &native, reinterpret_cast<SQLWCHAR*>(text.data()),
                          static_cast<SQLSMALLINT>(text.size()), &length);
    }
    if (!Succeeded(rc)) break;
    text.resize(std::min<size_t>(static_cast<size_t>(length), text.size()));
    DiagRecord& record = records.emplace_back();
    for (const SQLWCHAR unit : state) {
      if (unit != 0) record.state += static_cast<char>(unit);
    }
    record.native = static_cast<int>(native);
    record.text = ToUtf8(text);
  }
  return records;
}

}  // namespace db::odbc
