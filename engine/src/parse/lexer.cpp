// Tokenizer for T-SQL batches (see lexer.h).
#include "parse/lexer.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <iterator>

#include "errors.h"

namespace engine::parse {
namespace {

// SQL Server's reserved keywords. A bare word from this list cannot name anything; written
// in brackets it can.
constexpr auto kReserved = std::to_array<std::string_view>({"ADD",
                                                            "ALL",
                                                            "ALTER",
                                                            "AND",
                                                            "ANY",
                                                            "AS",
                                                            "ASC",
                                                            "AUTHORIZATION",
                                                            "BACKUP",
                                                            "BEGIN",
                                                            "BETWEEN",
                                                            "BREAK",
                                                            "BROWSE",
                                                            "BULK",
                                                            "BY",
                                                            "CASCADE",
                                                            "CASE",
                                                            "CHECK",
                                                            "CHECKPOINT",
                                                            "CLOSE",
                                                            "CLUSTERED",
                                                            "COALESCE",
                                                            "COLLATE",
                                                            "COLUMN",
                                                            "COMMIT",
                                                            "COMPUTE",
                                                            "CONSTRAINT",
                                                            "CONTAINS",
                                                            "CONTAINSTABLE",
                                                            "CONTINUE",
                                                            "CONVERT",
                                                            "CREATE",
                                                            "CROSS",
                                                            "CURRENT",
                                                            "CURRENT_DATE",
                                                            "CURRENT_TIME",
                                                            "CURRENT_TIMESTAMP",
                                                            "CURRENT_USER",
                                                            "CURSOR",
                                                            "DATABASE",
                                                            "DBCC",
                                                            "DEALLOCATE",
                                                            "DECLARE",
                                                            "DEFAULT",
                                                            "DELETE",
                                                            "DENY",
                                                            "DESC",
                                                            "DISK",
                                                            "DISTINCT",
                                                            "DISTRIBUTED",
                                                            "DOUBLE",
                                                            "DROP",
                                                            "DUMP",
                                                            "ELSE",
                                                            "END",
                                                            "ERRLVL",
                                                            "ESCAPE",
                                                            "EXCEPT",
                                                            "EXEC",
                                                            "EXECUTE",
                                                            "EXISTS",
                                                            "EXIT",
                                                            "EXTERNAL",
                                                            "FETCH",
                                                            "FILE",
                                                            "FILLFACTOR",
                                                            "FOR",
                                                            "FOREIGN",
                                                            "FREETEXT",
                                                            "FREETEXTTABLE",
                                                            "FROM",
                                                            "FULL",
                                                            "FUNCTION",
                                                            "GOTO",
                                                            "GRANT",
                                                            "GROUP",
                                                            "HAVING",
                                                            "HOLDLOCK",
                                                            "IDENTITY",
                                                            "IDENTITY_INSERT",
                                                            "IDENTITYCOL",
                                                            "IF",
                                                            "IN",
                                                            "INDEX",
                                                            "INNER",
                                                            "INSERT",
                                                            "INTERSECT",
                                                            "INTO",
                                                            "IS",
                                                            "JOIN",
                                                            "KEY",
                                                            "KILL",
                                                            "LEFT",
                                                            "LIKE",
                                                            "LINENO",
                                                            "LOAD",
                                                            "MERGE",
                                                            "NATIONAL",
                                                            "NOCHECK",
                                                            "NONCLUSTERED",
                                                            "NOT",
                                                            "NULL",
                                                            "NULLIF",
                                                            "OF",
                                                            "OFF",
                                                            "OFFSETS",
                                                            "ON",
                                                            "OPEN",
                                                            "OPENDATASOURCE",
                                                            "OPENQUERY",
                                                            "OPENROWSET",
                                                            "OPENXML",
                                                            "OPTION",
                                                            "OR",
                                                            "ORDER",
                                                            "OUTER",
                                                            "OVER",
                                                            "PERCENT",
                                                            "PIVOT",
                                                            "PLAN",
                                                            "PRECISION",
                                                            "PRIMARY",
                                                            "PRINT",
                                                            "PROC",
                                                            "PROCEDURE",
                                                            "PUBLIC",
                                                            "RAISERROR",
                                                            "READ",
                                                            "READTEXT",
                                                            "RECONFIGURE",
                                                            "REFERENCES",
                                                            "REPLICATION",
                                                            "RESTORE",
                                                            "RESTRICT",
                                                            "RETURN",
                                                            "REVERT",
                                                            "REVOKE",
                                                            "RIGHT",
                                                            "ROLLBACK",
                                                            "ROWCOUNT",
                                                            "ROWGUIDCOL",
                                                            "RULE",
                                                            "SAVE",
                                                            "SCHEMA",
                                                            "SECURITYAUDIT",
                                                            "SELECT",
                                                            "SEMANTICKEYPHRASETABLE",
                                                            "SEMANTICSIMILARITYDETAILSTABLE",
                                                            "SEMANTICSIMILARITYTABLE",
                                                            "SESSION_USER",
                                                            "SET",
                                                            "SETUSER",
                                                            "SHUTDOWN",
                                                            "SOME",
                                                            "STATISTICS",
                                                            "SYSTEM_USER",
                                                            "TABLE",
                                                            "TABLESAMPLE",
                                                            "TEXTSIZE",
                                                            "THEN",
                                                            "TO",
                                                            "TOP",
                                                            "TRAN",
                                                            "TRANSACTION",
                                                            "TRIGGER",
                                                            "TRUNCATE",
                                                            "TRY_CONVERT",
                                                            "TSEQUAL",
                                                            "UNION",
                                                            "UNIQUE",
                                                            "UNPIVOT",
                                                            "UPDATE",
                                                            "UPDATETEXT",
                                                            "USE",
                                                            "USER",
                                                            "VALUES",
                                                            "VARYING",
                                                            "VIEW",
                                                            "WAITFOR",
                                                            "WHEN",
                                                            "WHERE",
                                                            "WHILE",
                                                            "WITH",
                                                            "WRITETEXT"});

constexpr size_t kMaxIdentifierChars = 128;

bool IsIdentStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '@' || c == '#' || c >= 0x80;
}
bool IsIdentPart(unsigned char c) { return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '$'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

size_t Utf8Chars(std::string_view s) {
  return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The first `n` characters of `s`, cut at a character boundary.
std::string_view Utf8Prefix(std::string_view s, size_t n) {
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if ((s[i] & 0xC0) != 0x80 && chars++ == n) return s.substr(0, i);
  }
  return s;
}

class Lexer {
 public:
  explicit Lexer(std::string_view text) : text_(text) {}

  TokenList Run() {
    TokenList out;
    while (SkipBlanksAndComments()) {
      Token tok;
      tok.pos = pos_;
      tok.line = line_;
      Scan(tok);
      if (tok.kind == TokenKind::kPlaceholder) tok.placeholder = out.placeholder_count++;
      tok.end = pos_;
      out.tokens.push_back(std::move(tok));
    }
    Token end;
    end.pos = end.end = text_.size();
    end.line = line_;
    out.tokens.push_back(std::move(end));
    return out;
  }

 private:
  [[nodiscard]] char At(size_t i) const { return i < text_.size() ? text_[i] : '\0'; }

  void Step() {
    if (text_[pos_] == '\n') ++line_;
    ++pos_;
  }

  // Returns false at the end of the text.
  bool SkipBlanksAndComments() {
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (IsBlank(c)) {
        Step();
      } else if (c == '-' && At(pos_ + 1) == '-') {
        while (pos_ < text_.size() && text_[pos_] != '\n') Step();
      } else if (c == '/' && At(pos_ + 1) == '*') {
        SkipBlockComment();
      } else {
        return true;
      }
    }
    return false;
  }

  // Block comments nest, as in SQL Server.
  void SkipBlockComment() {
    int depth = 0;
    while (pos_ < text_.size()) {
      if (text_[pos_] == '/' && At(pos_ + 1) == '*') {
        ++depth;
        pos_ += 2;
      } else if (text_[pos_] == '*' && At(pos_ + 1) == '/') {
        pos_ += 2;
        if (--depth == 0) return;
      } else {
        Step();
      }
    }
    throw err::MissingEndComment();
  }

  void Scan(Token& tok) {
    const char c = text_[pos_];
    if ((c == 'N' || c == 'n') && At(pos_ + 1) == '\'') {
      ++pos_;
      ScanQuoted(tok, TokenKind::kNString, '\'');
    } else if (c == '\'') {
      ScanQuoted(tok, TokenKind::kString, '\'');
    } else if (c == '[') {
      ScanQuoted(tok, TokenKind::kQuotedIdentifier, ']');
    } else if (c == '"') {
      ScanQuoted(tok, TokenKind::kQuotedIdentifier, '"');
    } else if (IsDigit(c) || (c == '.' && IsDigit(At(pos_ + 1)))) {
      ScanNumber(tok);
    } else if (IsIdentStart(static_cast<unsigned char>(c))) {
      ScanWord(tok);
    } else if (c == '?') {
      tok.kind = TokenKind::kPlaceholder;
      tok.text = "?";
      ++pos_;
    } else {
      ScanSymbol(tok);
    }
  }

  // Strings and delimited names: the closing delimiter doubled stands for itself.
  void ScanQuoted(Token& tok, TokenKind kind, char close) {
    tok.kind = kind;
    const size_t body = pos_ + 1;
    Step();
    while (pos_ < text_.size()) {
      if (text_[pos_] == close) {
        if (At(pos_ + 1) != close) {
          ++pos_;
          if (kind == TokenKind::kQuotedIdentifier) CheckIdentifierLength(tok.text);
          return;
        }
        tok.text.push_back(close);
        pos_ += 2;
      } else {
        tok.text.push_back(text_[pos_]);
        Step();
      }
    }
    std::string_view rest = text_.substr(body);
    SqlError error = err::UnclosedQuote(rest);
    error.set_scope(ErrorScope::kCompile);
    error.message().line = tok.line;
    throw error;
  }

  void ScanNumber(Token& tok) {
    tok.kind = TokenKind::kNumber;
    const size_t start = pos_;
    if (text_[pos_] == '0' && (At(pos_ + 1) == 'x' || At(pos_ + 1) == 'X')) {
      // A binary constant: kept whole so that the parser can name it.
      pos_ += 2;
      while (std::isxdigit(static_cast<unsigned char>(At(pos_)))) ++pos_;
      tok.text = std::string(text_.substr(start, pos_ - start));
      return;
    }
    while (IsDigit(At(pos_))) ++pos_;
    if (At(pos_) == '.') {
      ++pos_;
      while (IsDigit(At(pos_))) ++pos_;
    }
    if (At(pos_) == 'e' || At(pos_) == 'E') {
      size_t p = pos_ + 1;
      if (At(p) == '+' || At(p) == '-') ++p;
      if (IsDigit(At(p))) {
        pos_ = p;
        while (IsDigit(At(pos_))) ++pos_;
      }
    }
    tok.text = std::string(text_.substr(start, pos_ - start));
  }

  void ScanWord(Token& tok) {
    tok.kind = TokenKind::kIdentifier;
    const size_t start = pos_;
    while (pos_ < text_.size() && IsIdentPart(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    tok.text = std::string(text_.substr(start, pos_ - start));
    CheckIdentifierLength(tok.text);
    tok.reserved = tok.text.size() <= 30 && IsReservedKeyword(AsciiUpper(tok.text));
  }

  void ScanSymbol(Token& tok) {
    tok.kind = TokenKind::kSymbol;
    const char c = text_[pos_];
    const char n = At(pos_ + 1);
    const bool two = (c == '<' && (n == '>' || n == '=')) || (c == '>' && n == '=') ||
                     (c == '!' && (n == '=' || n == '<' || n == '>'));
    const size_t len = two ? 2 : 1;
    tok.text = std::string(text_.substr(pos_, len));
    pos_ += len;
  }

  static void CheckIdentifierLength(std::string_view name) {
    if (name.size() <= kMaxIdentifierChars || Utf8Chars(name) <= kMaxIdentifierChars) return;
    throw err::IdentifierTooLong(Utf8Prefix(name, kMaxIdentifierChars));
  }

  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

}  // namespace

namespace {

// Named parameters are matched after the scan, so the lexer itself stays context-free.
void BindParameterNames(TokenList& list, std::span<const std::string> names) {
  for (Token& tok : list.tokens) {
    if (tok.kind != TokenKind::kIdentifier || !tok.text.starts_with('@') || tok.text.starts_with("@@")) continue;
    const std::string upper = AsciiUpper(tok.text);
    for (size_t i = 0; i < names.size(); ++i) {
      if (AsciiUpper(names[i]) != upper) continue;
      tok.kind = TokenKind::kPlaceholder;
      tok.placeholder = static_cast<int>(i);
      break;
    }
  }
  list.placeholder_count = std::max(list.placeholder_count, static_cast<int>(names.size()));
}

}  // namespace

TokenList Tokenize(std::string_view text, std::span<const std::string> parameter_names) {
  TokenList list = Lexer(text).Run();
  if (!parameter_names.empty()) BindParameterNames(list, parameter_names);
  return list;
}

bool IsReservedKeyword(std::string_view upper_word) {
  static const std::vector<std::string_view> sorted = [] {
    std::vector<std::string_view> words(kReserved.begin(), kReserved.end());
    std::sort(words.begin(), words.end());
    return words;
  }();
  return std::binary_search(sorted.begin(), sorted.end(), upper_word);
}

bool EqualsUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

}  // namespace engine::parse
