// Create and key statements of the tables the stages create (see table_statements.h).
#include "table_statements.h"

#include <string>

namespace upgrade {

schema::Lines CreateTableLines(std::string_view table, std::initializer_list<ColumnLine> columns) {
  return CreateTableLinesAfter("CREATE TABLE dbo." + std::string(table) + " (", columns);
}

schema::Lines CreateTableLinesAfter(std::string_view first_line, std::initializer_list<ColumnLine> columns) {
  schema::Lines lines{std::string(first_line)};
  std::size_t left = columns.size();
  for (const ColumnLine& column : columns) {
    --left;
    lines.push_back(std::string(column.name) + " " + std::string(column.type) + " " + std::string(column.nullability) +
                    (left > 0 ? "," : ")"));
  }
  return lines;
}

schema::Lines PrimaryKeyLines(std::string_view table, std::string_view key_column) {
  return PrimaryKeyLines(table, {key_column});
}

schema::Lines PrimaryKeyLines(std::string_view table, std::initializer_list<std::string_view> key_columns) {
  const std::string name(table);
  std::string columns;
  for (std::string_view column : key_columns) columns += (columns.empty() ? "[" : ",[") + std::string(column) + "]";
  return {"ALTER TABLE [dbo].[" + name + "]  ADD", "CONSTRAINT [PK_" + name + "] PRIMARY KEY CLUSTERED",
          "(" + columns + ") ON [PRIMARY]"};
}

}  // namespace upgrade
