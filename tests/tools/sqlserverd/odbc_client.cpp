// ODBC client of the protocol tests (see odbc_client.h).
#include "odbc_client.h"

#include <sql.h>
#include <sqlext.h>

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "tds/text.h"

namespace tds::odbc {
namespace {

// SQLWCHAR holds UTF-16 code units in the machine's order, which is little-endian on every platform the
// tests run on, so the server's own conversions serve the client too.
std::u16string Wide(const std::string& s) {
  const std::vector<uint8_t> bytes = tds::Utf8ToUtf16Le(s);
  std::u16string out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return out;
}

std::string Narrow(const char16_t* s, size_t n) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i < n; ++i) {
    bytes.push_back(static_cast<uint8_t>(s[i] & 0xFF));
    bytes.push_back(static_cast<uint8_t>(s[i] >> 8));
  }
  return tds::Utf16LeToUtf8(bytes);
}

SQLWCHAR* W(std::u16string& s) { return reinterpret_cast<SQLWCHAR*>(s.data()); }

std::string StripPrefixes(std::string text) {
  while (!text.empty() && text[0] == '[') {
    size_t end = text.find(']');
    if (end == std::string::npos) break;
    text.erase(0, end + 1);
  }
  return text;
}

// Diagnostic records of a handle, as message items.
void CollectDiagnostics(SQLSMALLINT type, SQLHANDLE handle, std::vector<Item>& items) {
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6];
    SQLINTEGER native = 0;
    SQLWCHAR text[2048];
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetDiagRecW(type, handle, i, state, &native, text, 2048, &length))) return;
    Item item;
    item.kind = Item::Kind::kMessage;
    std::string sqlstate = Narrow(reinterpret_cast<char16_t*>(state), 5);
    item.is_error = !sqlstate.starts_with("01");
    item.number = native;
    item.text = StripPrefixes(
        Narrow(reinterpret_cast<char16_t*>(text), static_cast<size_t>(std::min<SQLSMALLINT>(length, 2047))));
    items.push_back(std::move(item));
  }
}

template <typename T>
std::string Shortest(T v) {
  if (v == 0) return "0";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  return std::string(buf, r.ptr);
}

std::optional<std::string> WideText(SQLHSTMT stmt, SQLUSMALLINT col) {
  std::u16string all;
  char16_t buf[4096];
  for (;;) {
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(stmt, col, SQL_C_WCHAR, buf, sizeof buf, &indicator);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) throw Error(0, "SQLGetData failed");
    if (indicator == SQL_NULL_DATA) return std::nullopt;
    size_t got = indicator == SQL_NO_TOTAL || indicator >= static_cast<SQLLEN>(sizeof buf)
                     ? sizeof buf / 2 - 1
                     : static_cast<size_t>(indicator) / 2;
    all.append(buf, got);
    if (rc == SQL_SUCCESS) break;
  }
  return Narrow(all.data(), all.size());
}

// One value printed as engine::Value::ToString prints it for the column's SQL type.
std::optional<std::string> ValueText(SQLHSTMT stmt, SQLUSMALLINT col, SQLSMALLINT type, SQLSMALLINT digits) {
  SQLLEN indicator = 0;
  switch (type) {
    case SQL_BIT:
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: {
      SQLBIGINT v = 0;
      SQLGetData(stmt, col, SQL_C_SBIGINT, &v, 0, &indicator);
      if (indicator == SQL_NULL_DATA) return std::nullopt;
      return std::to_string(v);
    }
    case SQL_REAL: {
      float v = 0;
      SQLGetData(stmt, col, SQL_C_FLOAT, &v, 0, &indicator);
      if (indicator == SQL_NULL_DATA) return std::nullopt;
      return Shortest(v);
    }
    case SQL_FLOAT:
    case SQL_DOUBLE: {
      double v = 0;
      SQLGetData(stmt, col, SQL_C_DOUBLE, &v, 0, &indicator);
      if (indicator == SQL_NULL_DATA) return std::nullopt;
      return Shortest(v);
    }
    case SQL_TYPE_TIMESTAMP: {
      SQL_TIMESTAMP_STRUCT ts{};
      SQLGetData(stmt, col, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator);
      if (indicator == SQL_NULL_DATA) return std::nullopt;
      char buf[96];
      std::snprintf(buf, sizeof buf, "%04d-%02u-%02u %02u:%02u:%02u.%03u", ts.year, ts.month, ts.day, ts.hour,
                    ts.minute, ts.second, static_cast<unsigned>(ts.fraction / 1000000));
      // smalldatetime (no fractional digits) prints without milliseconds.
      return std::string(buf, digits == 0 ? 19 : 23);
    }
    default:
      return WideText(stmt, col);
  }
}

Item ReadRows(SQLHSTMT stmt, SQLSMALLINT count) {
  Item item;
  item.kind = Item::Kind::kRows;
  std::vector<SQLSMALLINT> types(static_cast<size_t>(count));
  std::vector<SQLSMALLINT> digits(static_cast<size_t>(count));
  for (SQLSMALLINT c = 1; c <= count; ++c) {
    SQLWCHAR name[256];
    SQLSMALLINT name_length = 0, nullable = 0;
    SQLULEN size = 0;
    SQLDescribeColW(stmt, static_cast<SQLUSMALLINT>(c), name, 256, &name_length, &types[static_cast<size_t>(c - 1)],
                    &size, &digits[static_cast<size_t>(c - 1)], &nullable);
    item.columns.push_back(
        Narrow(reinterpret_cast<char16_t*>(name), static_cast<size_t>(std::min<SQLSMALLINT>(name_length, 255))));
  }
  for (;;) {
    SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    if (!SQL_SUCCEEDED(rc)) throw Error(0, "SQLFetch failed");
    std::vector<std::optional<std::string>> row;
    for (SQLSMALLINT c = 1; c <= count; ++c) {
      row.push_back(ValueText(stmt, static_cast<SQLUSMALLINT>(c), types[static_cast<size_t>(c - 1)],
                              digits[static_cast<size_t>(c - 1)]));
    }
    item.rows.push_back(std::move(row));
  }
  return item;
}

// Items of the current result (rows or a count) after SQLExecDirectW/SQLExecute/SQLMoreResults.
void ReadResult(SQLHSTMT stmt, std::vector<Item>& items) {
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  if (columns > 0) {
    items.push_back(ReadRows(stmt, columns));
    return;
  }
  SQLLEN count = -1;
  SQLRowCount(stmt, &count);
  if (count >= 0) {
    Item item;
    item.kind = Item::Kind::kCount;
    item.count = count;
    items.push_back(std::move(item));
  }
}

std::vector<Item> Drain(SQLHSTMT stmt, SQLRETURN rc) {
  std::vector<Item> items;
  while (rc != SQL_NO_DATA) {
    CollectDiagnostics(SQL_HANDLE_STMT, stmt, items);
    if (SQL_SUCCEEDED(rc)) ReadResult(stmt, items);
    rc = SQLMoreResults(stmt);
  }
  return items;
}

// Bound parameter buffers must live until the execution ends.
struct Bound {
  std::vector<std::u16string> texts;
  std::vector<SQLBIGINT> numbers;
  std::vector<SQLLEN> indicators;
};

void Bind(SQLHSTMT stmt, const std::vector<Param>& params, Bound& b) {
  b.texts.resize(params.size());
  b.numbers.resize(params.size());
  b.indicators.resize(params.size());
  for (size_t i = 0; i < params.size(); ++i) {
    const SQLUSMALLINT n = static_cast<SQLUSMALLINT>(i + 1);
    if (params[i].kind == Param::Kind::kText) {
      b.texts[i] = Wide(params[i].text);
      b.indicators[i] = static_cast<SQLLEN>(b.texts[i].size() * 2);
      SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, std::max<size_t>(b.texts[i].size(), 1), 0,
                       b.texts[i].data(), 0, &b.indicators[i]);
    } else {
      b.numbers[i] = params[i].number;
      b.indicators[i] = params[i].kind == Param::Kind::kNull ? SQL_NULL_DATA : 0;
      SQLBindParameter(stmt, n, SQL_PARAM_INPUT, SQL_C_SBIGINT, SQL_INTEGER, 0, 0, &b.numbers[i], 0, &b.indicators[i]);
    }
  }
}

}  // namespace

std::string ConnectionString(uint16_t port, const std::string& user, const std::string& password,
                             const std::string& database) {
  return std::string("Driver=") + kFreeTdsDriver + ";Server=127.0.0.1;Port=" + std::to_string(port) +
         ";TDS_Version=7.4;UID=" + user + ";PWD=" + password + ";Database=" + database + ";";
}

Connection::Connection(const std::string& connection_string) {
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_);
  SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_);
  std::u16string text = Wide(connection_string);
  SQLRETURN rc = SQLDriverConnectW(dbc_, nullptr, W(text), static_cast<SQLSMALLINT>(text.size()), nullptr, 0, nullptr,
                                   SQL_DRIVER_NOPROMPT);
  if (!SQL_SUCCEEDED(rc)) {
    std::vector<Item> diags;
    CollectDiagnostics(SQL_HANDLE_DBC, dbc_, diags);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
    for (const Item& d : diags) {
      if (d.number != 0) throw Error(d.number, d.text);
    }
    throw Error(0, diags.empty() ? "connection failed" : diags[0].text);
  }
}

Connection::~Connection() {
  SQLDisconnect(dbc_);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
  SQLFreeHandle(SQL_HANDLE_ENV, env_);
}

std::vector<Item> Connection::Execute(const std::string& sql, const std::vector<Param>& params) {
  SQLHSTMT stmt = nullptr;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt);
  Bound bound;
  Bind(stmt, params, bound);
  std::u16string text = Wide(sql);
  std::vector<Item> items = Drain(stmt, SQLExecDirectW(stmt, W(text), static_cast<SQLINTEGER>(text.size())));
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return items;
}

std::vector<std::vector<Item>> Connection::PrepareAndExecute(const std::string& sql,
                                                             const std::vector<std::vector<Param>>& runs) {
  SQLHSTMT stmt = nullptr;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &stmt);
  std::u16string text = Wide(sql);
  SQLPrepareW(stmt, W(text), static_cast<SQLINTEGER>(text.size()));
  std::vector<std::vector<Item>> out;
  for (const std::vector<Param>& params : runs) {
    Bound bound;
    Bind(stmt, params, bound);
    out.push_back(Drain(stmt, SQLExecute(stmt)));
    SQLFreeStmt(stmt, SQL_CLOSE);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return out;
}

std::string Connection::Render(const std::vector<Item>& items) {
  std::string out;
  for (const Item& item : items) {
    switch (item.kind) {
      case Item::Kind::kRows:
        for (size_t i = 0; i < item.columns.size(); ++i) out += (i ? "|" : "") + item.columns[i];
        out += "\n";
        for (const auto& row : item.rows) {
          for (size_t i = 0; i < row.size(); ++i) out += (i ? "|" : "") + row[i].value_or("NULL");
          out += "\n";
        }
        break;
      case Item::Kind::kCount:
        out += "count " + std::to_string(item.count) + "\n";
        break;
      case Item::Kind::kMessage:
        out += (item.is_error ? "error " : "info ") + std::to_string(item.number) + ": " + item.text + "\n";
        break;
    }
  }
  return out;
}

}  // namespace tds::odbc
