#include "odbc/odbc_connection_string.h"

#include <algorithm>
#include <charconv>

#include "db/ascii.h"
#include "db/error.h"

namespace db::odbc {
namespace {

constexpr long kDefaultLoginTimeout = 15;

// {value} with "}" doubled: the standard rules, which Microsoft's drivers and the driver manager follow.
std::string Braced(std::string_view value) {
  std::string braced = "{";
  for (const char c : value) braced += c == '}' ? std::string("}}") : std::string(1, c);
  return braced + "}";
}

bool NeedsBraces(std::string_view value) {
  if (value.empty()) return false;
  if (value.find_first_of(";{}=") != std::string_view::npos) return true;
  return value.front() == ' ' || value.back() == ' ' || value.front() == '\t' || value.back() == '\t';
}

// "." and "(local)" name this machine on Windows; the drivers here only know host names.
std::string ServerName(std::string_view data_source) {
  const size_t separator = data_source.find_first_of(",\\");
  const std::string_view host = data_source.substr(0, separator);
  const std::string_view rest = separator == std::string_view::npos ? "" : data_source.substr(separator);
  if (host == "." || EqualsIgnoreCaseAscii(host, "(local)")) return "localhost" + std::string(rest);
  return std::string(data_source);
}

std::optional<long> WholeSeconds(std::string_view text) {
  long seconds = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size() || seconds < 0) return std::nullopt;
  return seconds;
}

bool IsSspi(const ConnectionItemList& items) {
  return EqualsIgnoreCaseAscii(FindItem(items, "Integrated Security").value_or(""), "SSPI");
}

}  // namespace

Driver DriverNamed(std::string_view name) {
  const std::string lower = AsciiLowerCopy(name);
  const bool free_tds = lower.find("freetds") != std::string::npos || lower.find("tdsodbc") != std::string::npos;
  return Driver{std::string(name), free_tds ? DriverKind::kFreeTds : DriverKind::kMicrosoft};
}

std::optional<Driver> ChooseDriver(std::string_view configured, const std::vector<std::string>& installed) {
  if (!configured.empty()) return DriverNamed(configured);
  for (const std::string_view preferred : kPreferredDrivers) {
    const auto found = std::ranges::find_if(
        installed, [&](const std::string& name) { return EqualsIgnoreCaseAscii(name, preferred); });
    if (found != installed.end()) return DriverNamed(*found);
  }
  return std::nullopt;
}

std::string OdbcItem(std::string_view key, std::string_view value, DriverKind kind) {
  std::string item(key);
  item += '=';
  if (!NeedsBraces(value)) {
    item += value;
  } else if (kind == DriverKind::kFreeTds) {
    if (value.find("};") != std::string_view::npos) {
      throw Error("The value of '" + std::string(key) +
                  "' contains \"};\", which the FreeTDS driver cannot be given; change it or use another driver.");
    }
    item += '{';
    item += value;
    item += '}';
  } else {
    item += Braced(value);
  }
  item += ';';
  return item;
}

std::string OdbcConnectionString(const ConnectionItemList& items, const ProviderOptions& options,
                                 const Driver& driver) {
  const DriverKind kind = driver.kind;
  // The driver manager reads Driver= by the standard rules; braces are the customary form for names with blanks.
  std::string text = "Driver=" + Braced(driver.name) + ";";
  text += OdbcItem("Server", ServerName(FindItem(items, "Data Source").value_or("")), kind);
  text += OdbcItem("Database", FindItem(items, "Initial Catalog").value_or(""), kind);
  if (IsSspi(items)) {
    text += "Trusted_Connection=yes;";
  } else {
    text += OdbcItem("UID", FindItem(items, "User ID").value_or(""), kind);
    text += OdbcItem("PWD", FindItem(items, "Password").value_or(""), kind);
  }
  if (kind == DriverKind::kFreeTds) {
    text += OdbcItem("TDS_Version", options.tds_version.empty() ? "7.4" : options.tds_version, kind);
    text += "ClientCharset=UTF-8;";
  }
  return text;
}

long LoginTimeoutSeconds(const ConnectionItemList& items, const ProviderOptions& options) {
  if (const auto item = FindItem(items, "Connect Timeout")) {
    if (const auto seconds = WholeSeconds(*item)) return *seconds;
  }
  return WholeSeconds(options.connect_timeout).value_or(kDefaultLoginTimeout);
}

}  // namespace db::odbc
