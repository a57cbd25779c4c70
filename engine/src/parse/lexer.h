// Tokenizer for T-SQL batches.
//
// The whole batch is cut into tokens before parsing starts, so the parser can look ahead and
// back freely and a batch costs time linear in its length. Lexical errors (an unclosed
// string or bracketed name, an unclosed comment, an over-long identifier) are thrown as
// SqlError with ErrorScope::kCompile, exactly as SQL Server reports them.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "values.h"

namespace engine::parse {

enum class TokenKind : uint8_t {
  kEnd,               // after the last token
  kIdentifier,        // bare word: keywords, names, @variables, #temp names
  kQuotedIdentifier,  // [bracketed] or "double quoted"; `text` has the delimiters removed
  kString,            // 'text'; `text` has the quotes removed and '' unescaped
  kNString,           // N'text'
  kNumber,            // 12, 12.50, .5, 1e2 as written
  kPlaceholder,       // ?
  kSymbol,            // operators and punctuation: ( ) , . ; = <> != !< !> <= >= < > + - * / % & | ^ ~
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  bool reserved = false;  // a bare identifier that is a T-SQL reserved keyword
  int line = 1;           // 1-based line of the first character
  int placeholder = 0;    // kPlaceholder: 0-based number in order of appearance
  size_t pos = 0;         // byte offset of the first character
  size_t end = 0;         // byte offset after the last character
  std::string text;
};

struct TokenList {
  std::vector<Token> tokens;  // always ends with one kEnd token
  int placeholder_count = 0;
};

// Throws SqlError 105 (+102), 113 or 103 on lexical errors. Words equal to one of
// `parameter_names` (case-insensitive, '@' included) become placeholders numbered by their
// position in that list.
TokenList Tokenize(std::string_view text, std::span<const std::string> parameter_names = {});

// True when `upper_word` (ASCII upper case) is one of T-SQL's reserved keywords.
bool IsReservedKeyword(std::string_view upper_word);

// ASCII case-insensitive equality; `upper` must already be upper case.
bool EqualsUpper(std::string_view text, std::string_view upper);

using engine::AsciiUpper;  // values.h

}  // namespace engine::parse
