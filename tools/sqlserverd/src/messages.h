// Every message text the protocol layer itself sends, in one place; the engine's own messages
// come with its results.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/engine.h"

namespace tds::msg {

inline engine::Message Make(int number, int severity, int state, std::string text) {
  engine::Message m;
  m.number = number;
  m.severity = severity;
  m.state = state;
  m.line = 1;
  m.text = std::move(text);
  return m;
}

inline engine::Message ChangedDatabase(std::string_view db) {
  return Make(5701, 0, 2, "Changed database context to '" + std::string(db) + "'.");
}
inline engine::Message ChangedLanguage() { return Make(5703, 0, 1, "Changed language setting to us_english."); }
inline engine::Message ArithmeticOverflow() {
  return Make(8115, 16, 8, "Arithmetic overflow error converting numeric to data type numeric.");
}
inline engine::Message ProcedureNotFound(std::string_view name) {
  return Make(2812, 16, 62, "Could not find stored procedure '" + std::string(name) + "'.");
}
inline engine::Message PreparedHandleNotFound(int32_t handle) {
  return Make(8179, 16, 2, "Could not find prepared statement with handle " + std::to_string(handle) + ".");
}
inline engine::Message MissingProcedureArgument(std::string_view procedure, std::string_view parameter) {
  return Make(201, 16, 4,
              "Procedure or function '" + std::string(procedure) + "' expects parameter '" + std::string(parameter) +
                  "', which was not supplied.");
}
inline engine::Message TransactionRequestsUnsupported() {
  return Make(50000, 16, 1, "Transaction manager requests are not supported by this server; use BEGIN TRANSACTION.");
}

}  // namespace tds::msg
