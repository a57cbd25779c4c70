#include "embedded/embedded_provider.h"

#include <vector>

#include "db/ascii.h"
#include "db/connection_items.h"
#include "db/error.h"
#include "engine/engine.h"

namespace db {
namespace {

// The engine's value as the layer's, keeping the engine's own text for it and its exact number.
Value ToValue(const engine::Value& value) {
  if (value.is_null()) return {};
  const engine::SqlType& type = value.type();
  if (type.IsString()) return Value::Text(value.as_string());
  if (type.IsInteger()) return Value::Int(value.as_int());
  if (type.IsExactNumeric()) {
    const engine::Decimal& decimal = value.as_decimal();
    return Value::Dec(decimal.units, decimal.scale, value.ToString());
  }
  if (type.IsNumeric()) return Value::Float(value.as_float(), value.ToString());
  if (type.IsDateTime()) return Value::Date(DateTime{value.as_datetime().ms}, value.ToString());
  return Value::Other(value.ToString());  // uniqueidentifier
}

RowSet ToRowSet(const engine::ResultSet& result) {
  RowSet rows;
  rows.columns.reserve(result.columns.size());
  for (const engine::ColumnInfo& column : result.columns) rows.columns.push_back(column.name);
  rows.rows.reserve(result.rows.size());
  for (const std::vector<engine::Value>& row : result.rows) {
    std::vector<Value>& values = rows.rows.emplace_back();
    values.reserve(row.size());
    for (const engine::Value& value : row) values.push_back(ToValue(value));
  }
  return rows;
}

class EmbeddedProvider : public Provider {
 public:
  explicit EmbeddedProvider(std::unique_ptr<engine::Session> session) : session_(std::move(session)) {}

  RowSet Query(std::string_view text, std::optional<int64_t> param) override {
    std::vector<engine::Value> params;
    if (param) params.push_back(engine::Value::Int(*param));
    const engine::BatchResult result = Run(text, params);
    const engine::ResultSet* rows = result.FirstRows();
    return rows != nullptr ? ToRowSet(*rows) : RowSet{};
  }

  int64_t Execute(std::string_view text) override { return Run(text, {}).RowsAffected(); }

  // The values go in as literals, so that the engine's trace shows the row as it was written.
  void Insert(const RowInsert& row) override { Run(LiteralInsertText(row), {}); }

  [[nodiscard]] bool connected() const override { return session_ != nullptr; }

  void Close() override { session_.reset(); }

 private:
  engine::BatchResult Run(std::string_view text, std::span<const engine::Value> params) {
    if (session_ == nullptr) throw Error("Operation is not allowed when the object is closed.");
    engine::BatchResult result;
    try {
      result = session_->Execute(text, params);
    } catch (const engine::SqlError& e) {
      throw Error(e.text(), e.number());
    }
    if (const engine::Message* error = result.FirstError()) throw Error(error->text, error->number);
    return result;
  }

  std::unique_ptr<engine::Session> session_;
};

}  // namespace

std::unique_ptr<Provider> OpenEmbeddedProvider(const ConnectionItemList& items, const std::filesystem::path& base_dir) {
  engine::OpenOptions options;
  options.data_source = FindItem(items, "Data Source").value_or("");
  options.base_dir = base_dir;
  options.initial_catalog = FindItem(items, "Initial Catalog").value_or("");
  options.user_id = FindItem(items, "User ID").value_or("");
  options.password = FindItem(items, "Password").value_or("");
  options.integrated_security = EqualsIgnoreCaseAscii(FindItem(items, "Integrated Security").value_or(""), "SSPI");
  options.create_server = false;
  try {
    return std::make_unique<EmbeddedProvider>(engine::Session::Open(options));
  } catch (const engine::SqlError& e) {
    throw Error(e.text(), e.number());
  }
}

}  // namespace db
