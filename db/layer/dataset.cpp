#include "db/dataset.h"

#include <algorithm>
#include <cctype>

namespace db {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

}  // namespace

void Dataset::Append() {
  row_.values.clear();
  appending_ = true;
}

void Dataset::Set(std::string_view name, Value value) {
  if (!appending_) throw Error("Dataset not in edit or insert mode.");
  auto same = [name](const auto& entry) { return EqualsIgnoringCase(entry.first, name); };
  if (auto it = std::ranges::find_if(row_.values, same); it != row_.values.end()) {
    it->second = std::move(value);
  } else {
    row_.values.emplace_back(std::string(name), std::move(value));
  }
}

void Dataset::Post() {
  if (!appending_) throw Error("Dataset not in edit or insert mode.");
  connection_.InsertRow(row_);
  row_.values.clear();
  appending_ = false;
}

}  // namespace db
