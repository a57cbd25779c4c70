#include "layer/embedded_provider.h"

#include <algorithm>
#include <cctype>

#include "db/connection_items.h"

namespace db {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](unsigned char x, unsigned char y) { return std::tolower(x) == std::tolower(y); });
}

class EmbeddedProvider : public Provider {
 public:
  explicit EmbeddedProvider(std::unique_ptr<engine::Session> session) : session_(std::move(session)) {}

  engine::ResultSet Run(std::string_view text, std::span<const engine::Value> params) override {
    engine::BatchResult result;
    try {
      result = session_->Execute(text, params);
    } catch (const engine::SqlError& e) {
      throw Error(e.text(), e.number());
    }
    if (const engine::Message* error = result.FirstError()) throw Error(error->text, error->number);
    const engine::ResultSet* rows = result.FirstRows();
    return rows != nullptr ? *rows : engine::ResultSet{};
  }

 private:
  std::unique_ptr<engine::Session> session_;
};

}  // namespace

std::unique_ptr<Provider> OpenEmbeddedProvider(const std::vector<std::pair<std::string, std::string>>& items,
                                               const std::filesystem::path& base_dir) {
  engine::OpenOptions options;
  options.data_source = FindItem(items, "Data Source").value_or("");
  options.base_dir = base_dir;
  options.initial_catalog = FindItem(items, "Initial Catalog").value_or("");
  options.user_id = FindItem(items, "User ID").value_or("");
  options.password = FindItem(items, "Password").value_or("");
  options.integrated_security = EqualsIgnoringCase(FindItem(items, "Integrated Security").value_or(""), "SSPI");
  options.create_server = false;
  try {
    return std::make_unique<EmbeddedProvider>(engine::Session::Open(options));
  } catch (const engine::SqlError& e) {
    throw Error(e.text(), e.number());
  }
}

}  // namespace db
