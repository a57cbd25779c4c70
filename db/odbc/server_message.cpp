#include "odbc/server_message.h"

#include <algorithm>
#include <array>

namespace db::odbc {
namespace {

constexpr std::string_view kServerComponent = "[SQL Server]";

// Names that only a driver manager or a driver puts in brackets in front of a message.
bool IsClientComponent(std::string_view component) {
  static constexpr std::array<std::string_view, 6> kNames = {"ODBC",           "FreeTDS",  "Microsoft",
                                                             "Driver Manager", "DBNETLIB", "Native Client"};
  for (const std::string_view name : kNames) {
    if (component.find(name) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

std::string WithoutDriverPrefixes(std::string_view text) {
  while (text.starts_with('[')) {
    const size_t close = text.find(']');
    if (close == std::string_view::npos) break;
    const std::string_view component = text.substr(0, close + 1);
    if (component == kServerComponent) {
      text.remove_prefix(component.size());
      break;
    }
    if (!IsClientComponent(component)) break;
    text.remove_prefix(component.size());
  }
  return std::string(text);
}

const DiagRecord* FirstError(const std::vector<DiagRecord>& records) {
  for (const DiagRecord& record : records) {
    if (!record.is_info()) return &record;
  }
  return nullptr;
}

Error ErrorFrom(const std::vector<DiagRecord>& records, std::string_view fallback) {
  if (const DiagRecord* error = FirstError(records)) return Error(WithoutDriverPrefixes(error->text), error->native);
  return Error(std::string(fallback));
}

Error ConnectErrorFrom(const std::vector<DiagRecord>& records, std::string_view fallback) {
  const DiagRecord* chosen = nullptr;
  auto take_first = [&](auto wanted) {
    if (chosen != nullptr) return;
    const auto found = std::ranges::find_if(records, wanted);
    if (found != records.end()) chosen = &*found;
  };
  take_first([](const DiagRecord& r) { return r.native != 0 && !r.is_info(); });
  take_first([](const DiagRecord& r) { return r.native != 0; });
  take_first([](const DiagRecord& r) { return !r.is_info(); });
  take_first([](const DiagRecord&) { return true; });
  if (chosen == nullptr) return Error(std::string(fallback));
  return Error(WithoutDriverPrefixes(chosen->text), chosen->native);
}

}  // namespace db::odbc
