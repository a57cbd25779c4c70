// A client database rendered as text, read with the engine directly: what the whole-run tests compare before and
// after a run, and between a run in-process and one through the ODBC provider.
#ifndef CLUBIQA_TESTS_APP_DATABASE_DUMP_H_
#define CLUBIQA_TESTS_APP_DATABASE_DUMP_H_

#include <filesystem>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace app_test {

// Runs `sql` on `database` of the server directory and renders the rows, one line each, values separated by "|".
inline std::string QueryRows(const std::filesystem::path& server_dir, std::string_view database, std::string_view sql) {
  engine::OpenOptions options;
  options.data_source = server_dir;
  options.initial_catalog = database;
  auto session = engine::Session::Open(options);
  engine::BatchResult result = session->Execute(sql);
  if (const engine::Message* error = result.FirstError()) return "error: " + error->text;
  std::string text;
  for (const auto& row : result.FirstRows()->rows) {
    for (size_t i = 0; i < row.size(); ++i) text += (i ? "|" : "") + (row[i].is_null() ? "NULL" : row[i].ToString());
    text += "\n";
  }
  return text;
}

// Every row of every table of `database`, tables in name order. The fourteen chart-of-accounts and tax-key
// templates are left out: every run re-creates them from the reference scripts, so after the first run their
// tax keys are the widened numeric (19,2) of the tax-key pass and after later runs the scripts' smallint again.
// The help topics are deleted and inserted anew on every run, so their identity numbers move on: they are
// compared by everything else.
inline std::string Dump(const std::filesystem::path& server_dir, std::string_view database) {
  std::string text;
  const std::string tables = QueryRows(server_dir, database,
                                       "SELECT name FROM sysobjects WHERE xtype='U' AND name NOT LIKE 'F5Kont_%' AND "
                                       "name NOT LIKE 'F5Dat_%' ORDER BY name");
  for (size_t start = 0, end; (end = tables.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string table = tables.substr(start, end - start);
    const std::string select =
        table == "tblHelp"
            ? "SELECT PARENTID, FORM, CID, Bezeichnung, Memo, Notes, Benutzer, RadDat, Gruppe, PROGRAM FROM tblHelp"
            : "SELECT * FROM [" + table + "]";
    text += "[" + table + "]\n" + QueryRows(server_dir, database, select);
  }
  return text;
}

// Every object and every column of `database` with its type, length, precision, scale and nullability.
inline std::string SchemaDump(const std::filesystem::path& server_dir, std::string_view database) {
  return QueryRows(server_dir, database, "SELECT name, xtype FROM sysobjects ORDER BY name, xtype") +
         QueryRows(server_dir, database,
                   "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, "
                   "NUMERIC_SCALE, IS_NULLABLE FROM INFORMATION_SCHEMA.COLUMNS ORDER BY TABLE_NAME, ORDINAL_POSITION");
}

}  // namespace app_test

#endif  // CLUBIQA_TESTS_APP_DATABASE_DUMP_H_
