#include "db/dataset.h"

#include <algorithm>

#include "db/ascii.h"

namespace db {
namespace {}  // namespace

void Dataset::Append() {
  row_.values.clear();
  appending_ = true;
}

void Dataset::Set(std::string_view name, Value value) {
  if (!appending_) throw Error("Dataset not in edit or insert mode.");
  auto same = [name](const auto& entry) { return EqualsIgnoreCaseAscii(entry.first, name); };
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
