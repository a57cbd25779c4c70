// The statements of a table that a stage creates when it is missing: the create statement with one line per
// column and the clustered primary key as a batch of its own.
#ifndef CLUBIQA_UPGRADE_TABLE_STATEMENTS_H_
#define CLUBIQA_UPGRADE_TABLE_STATEMENTS_H_

#include <initializer_list>
#include <string_view>

#include "schema/statement_runner.h"

namespace upgrade {

struct ColumnLine {
  std::string_view name;
  std::string_view type;         // as written, e.g. "varchar (60)" or "[int] IDENTITY(1,1)"
  std::string_view nullability;  // "NULL" or "NOT NULL"
};

// "CREATE TABLE dbo.<table> (", then "<name> <type> <nullability>," per column, the last one ending in ")"
// instead of the comma.
schema::Lines CreateTableLines(std::string_view table, std::initializer_list<ColumnLine> columns);
// The same with the first line as given, for tables whose create statement names them otherwise
// ("CREATE TABLE AdrSepa (" without the schema).
schema::Lines CreateTableLinesAfter(std::string_view first_line, std::initializer_list<ColumnLine> columns);

// The same column lines after a first line given whole, for tables whose create statement names them in
// another form ("CREATE TABLE [dbo].[tblHelp](").
schema::Lines CreateTableLinesAfter(std::string_view first_line, std::initializer_list<ColumnLine> columns);

// "ALTER TABLE [dbo].[<table>]  ADD" (two blanks), "CONSTRAINT [PK_<table>] PRIMARY KEY CLUSTERED",
// "([<key_column>]) ON [PRIMARY]".
schema::Lines PrimaryKeyLines(std::string_view table, std::string_view key_column);
// The same over several columns: "([<c1>],[<c2>]) ON [PRIMARY]".
schema::Lines PrimaryKeyLines(std::string_view table, std::initializer_list<std::string_view> key_columns);

}  // namespace upgrade

#endif  // CLUBIQA_UPGRADE_TABLE_STATEMENTS_H_
