// Lexer and parser for T-SQL batches.
//
// Parse() reads a whole batch before anything runs, as SQL Server compiles a batch first: a
// syntax error anywhere rejects the batch (SqlError with ErrorScope::kCompile and the number
// 102, 156 or 105, the message naming the offending token as SQL Server does). Statements need
// no separators; optional semicolons are accepted.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "ast.h"

namespace engine {

// Throws SqlError (102/156/105, scope kCompile) on bad text. Never asserts on any input.
// `parameter_names` (with their '@') turn the words that match them into placeholders numbered
// by their position in the list, as `?` placeholders are numbered by appearance.
ast::Batch Parse(std::string_view text, std::span<const std::string> parameter_names = {});

// Line (1-based) of a byte offset in a text.
int LineOf(std::string_view text, size_t pos);

}  // namespace engine
