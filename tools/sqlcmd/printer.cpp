#include "printer.h"

#include <algorithm>
#include <utility>

namespace sqlcmd {
namespace {

using engine::TypeId;

// sqlcmd shows the large types (text, ntext, the (max) types) 256 characters wide by default.
constexpr size_t kLargeTypeWidth = 256;

// Characters, not bytes, decide the padding: values are UTF-8.
size_t DisplayLength(std::string_view text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

size_t StringWidth(const engine::SqlType& type) {
  if (type.length < 0 || type.id == TypeId::kText || type.id == TypeId::kNText) return kLargeTypeWidth;
  return std::max<size_t>(1, static_cast<size_t>(type.length));
}

// The display sizes the ODBC driver reports, which are what sqlcmd pads to.
size_t TypeWidth(const engine::SqlType& type) {
  switch (type.id) {
    case TypeId::kBit:
      return 1;
    case TypeId::kTinyInt:
      return 3;
    case TypeId::kSmallInt:
      return 6;
    case TypeId::kNull:  // a bare NULL comes back as int
    case TypeId::kInt:
      return 11;
    case TypeId::kBigInt:
      return 20;
    case TypeId::kDecimal:
    case TypeId::kNumeric:
      return static_cast<size_t>(type.precision) + 2;  // sign and point
    case TypeId::kMoney:
      return 21;
    case TypeId::kSmallMoney:
      return 12;
    case TypeId::kReal:
      return 14;
    case TypeId::kFloat:
      return 24;
    case TypeId::kDateTime:
      return 23;
    case TypeId::kSmallDateTime:
      return 19;
    case TypeId::kUniqueIdentifier:
      return 36;
    case TypeId::kChar:
    case TypeId::kVarChar:
    case TypeId::kText:
    case TypeId::kNChar:
    case TypeId::kNVarChar:
    case TypeId::kNText:
      return StringWidth(type);
  }
  return 11;
}

bool RightAligned(const engine::SqlType& type) { return type.id == TypeId::kNull || type.IsNumeric(); }

std::string TrimTrailing(std::string text) {
  size_t end = text.find_last_not_of(' ');
  text.erase(end == std::string::npos ? 0 : end + 1);
  return text;
}

std::string Pad(const std::string& text, size_t width, bool right) {
  size_t length = DisplayLength(text);
  if (length >= width) return text;
  std::string blanks(width - length, ' ');
  return right ? blanks + text : text + blanks;
}

}  // namespace

size_t ColumnWidth(const engine::ColumnInfo& column) {
  size_t width = std::max(TypeWidth(column.type), DisplayLength(column.name));
  return column.nullable ? std::max<size_t>(width, 4) : width;
}

Printer::Printer(std::ostream& out, std::ostream& err, PrintOptions options)
    : out_(out), err_(err), options_(std::move(options)) {}

bool Printer::Print(const engine::BatchResult& result) {
  bool failed = false;
  for (const engine::StatementResult& item : result.items) {
    switch (item.kind) {
      case engine::StatementResult::Kind::kRows:
        PrintRows(item.rows);
        // Under SET NOCOUNT ON sqlcmd shows no count after a row set either.
        if (item.counted) PrintCount(static_cast<int64_t>(item.rows.rows.size()));
        break;
      case engine::StatementResult::Kind::kCount:
        PrintCount(item.count);
        break;
      case engine::StatementResult::Kind::kMessage:
        PrintMessage(item.message);
        failed = failed || item.is_error || item.message.severity > 10;
        break;
    }
  }
  out_.flush();
  return failed;
}

void Printer::PrintMessage(const engine::Message& message) {
  if (message.severity <= 10) {
    out_ << message.text << '\n';
    return;
  }
  // Keep the two streams in order for a reader watching both on one terminal.
  out_.flush();
  err_ << "Msg " << message.number << ", Level " << message.severity << ", State " << message.state << ", Line "
       << message.line << '\n'
       << message.text << '\n';
  err_.flush();
}

void Printer::PrintError(const engine::SqlError& error) {
  PrintMessage(error.message());
  for (const engine::Message& follow : error.follow()) PrintMessage(follow);
}

void Printer::PrintHeader(const engine::ResultSet& rows, const std::vector<size_t>& widths) {
  std::string names;
  std::string dashes;
  for (size_t i = 0; i < rows.columns.size(); ++i) {
    if (i > 0) {
      names += options_.separator;
      dashes += options_.separator;
    }
    std::string name = options_.trim ? TrimTrailing(rows.columns[i].name) : Pad(rows.columns[i].name, widths[i], false);
    dashes.append(options_.trim ? DisplayLength(name) : widths[i], '-');
    names += name;
  }
  out_ << names << '\n' << dashes << '\n';
}

void Printer::PrintRows(const engine::ResultSet& rows) {
  std::vector<size_t> widths;
  std::vector<bool> right;
  for (const engine::ColumnInfo& column : rows.columns) {
    widths.push_back(ColumnWidth(column));
    right.push_back(RightAligned(column.type));
  }
  int per_header = options_.rows_per_header;
  if (per_header >= 0) PrintHeader(rows, widths);
  std::string line;
  for (size_t r = 0; r < rows.rows.size(); ++r) {
    if (per_header > 0 && r > 0 && r % static_cast<size_t>(per_header) == 0) {
      out_ << '\n';
      PrintHeader(rows, widths);
    }
    line.clear();
    const std::vector<engine::Value>& row = rows.rows[r];
    for (size_t c = 0; c < row.size() && c < widths.size(); ++c) {
      if (c > 0) line += options_.separator;
      std::string text = row[c].ToString();
      line += options_.trim ? TrimTrailing(std::move(text)) : Pad(text, widths[c], right[c]);
    }
    out_ << line << '\n';
  }
}

void Printer::PrintCount(int64_t count) { out_ << "\n(" << count << " rows affected)\n"; }

}  // namespace sqlcmd
