// Lexer, syntax errors, batches and expressions: the tokens and trees the parser builds and SQL
// Server's errors for text it rejects.
#include <gtest/gtest.h>

#include <string>

#include "parser.h"
#include "parser_test_util.h"

namespace engine::parser_test {
namespace {

// ---- Lexer -------------------------------------------------------------------------------------

TEST(ParserLexer, CommentsAreBlanks) {
  auto batch = ParseOk("-- leading\nSELECT /* a /* nested */ still comment */ 1 -- trailing");
  EXPECT_EQ(Render(*One(batch).get<ast::SelectStmt>()->items[0].expr), "1");
  EXPECT_EQ(One(batch).line, 2);
  EXPECT_EQ(ErrorOf("SELECT 1 /* open /* nested */"), "Msg 113: Missing end comment mark '*/'.");
}

TEST(ParserLexer, DelimitedIdentifiers) {
  auto batch = ParseOk("SELECT [a]]b], \"quoted\"\"x\", [Eintritt ] FROM [dbo].[My Table]");
  const ast::SelectStmt& s = *One(batch).get<ast::SelectStmt>();
  EXPECT_EQ(s.items[0].expr->parts, std::vector<std::string>{"a]b"});
  EXPECT_EQ(s.items[1].expr->parts, std::vector<std::string>{"quoted\"x"});
  EXPECT_EQ(s.items[2].expr->parts, std::vector<std::string>{"Eintritt "});
  EXPECT_EQ(s.from[0]->table.schema, "dbo");
  EXPECT_EQ(s.from[0]->table.name, "My Table");
  EXPECT_EQ(s.from[0]->table.written, "dbo.My Table");
}

TEST(ParserLexer, StringsSpanLinesAndEscapeQuotes) {
  EXPECT_EQ(Expr("'it''s'"), "'it's'");
  auto batch = ParseOk("INSERT INTO t VALUES ('line one\r\nline two', 'x')\nSELECT 1");
  ASSERT_EQ(batch.statements.size(), 2u);
  EXPECT_EQ(batch.statements[0]->get<ast::InsertStmt>()->values[0][0]->literal.as_string(), "line one\r\nline two");
  EXPECT_EQ(batch.statements[1]->line, 3);
  batch = ParseOk("SELECT [multi\nline] FROM t");
  EXPECT_EQ(One(batch).get<ast::SelectStmt>()->items[0].expr->parts[0], "multi\nline");
}

TEST(ParserLexer, StringLiteralTypes) {
  auto literal = [](std::string_view text) {
    ast::Batch batch = ParseOk("SELECT " + std::string(text));
    return batch.statements[0]->get<ast::SelectStmt>()->items[0].expr->literal;
  };
  EXPECT_EQ(literal("'abc'").type(), (SqlType{TypeId::kVarChar, 3}));
  EXPECT_EQ(literal("''").type(), (SqlType{TypeId::kVarChar, 1}));
  EXPECT_EQ(literal("''").as_string(), "");
  EXPECT_EQ(literal("N'Grüße'").type(), (SqlType{TypeId::kNVarChar, 5}));
  EXPECT_EQ(literal("n'x'").type().id, TypeId::kNVarChar);
  EXPECT_TRUE(literal("NULL").is_null());
  EXPECT_EQ(literal("NULL").type().id, TypeId::kNull);
}

TEST(ParserLexer, Numbers) {
  auto type_of = [](std::string_view text) {
    ast::Batch batch = ParseOk("SELECT " + std::string(text));
    return batch.statements[0]->get<ast::SelectStmt>()->items[0].expr->literal.type().id;
  };
  EXPECT_EQ(type_of("12"), TypeId::kInt);
  EXPECT_EQ(type_of("12.50"), TypeId::kNumeric);
  EXPECT_EQ(type_of(".5"), TypeId::kNumeric);
  EXPECT_EQ(type_of("1e2"), TypeId::kFloat);
  EXPECT_EQ(type_of("1.5E-3"), TypeId::kFloat);
  EXPECT_EQ(Expr("-5"), "(- 5)");
  EXPECT_EQ(Expr("1abc"), "1");  // a number directly followed by its alias
}

TEST(ParserLexer, PlaceholdersAreNumberedInOrder) {
  auto batch = ParseOk("UPDATE t SET a = ? WHERE b = ? AND c IN (?, ?)");
  EXPECT_EQ(batch.placeholder_count, 4);
  const ast::UpdateStmt& u = *One(batch).get<ast::UpdateStmt>();
  EXPECT_EQ(Render(*u.sets[0].value), "?0");
  EXPECT_EQ(Render(*u.where), "(AND (= b ?1) (IN c ?2 ?3))");
  EXPECT_EQ(ParseOk("SELECT '?' FROM t").placeholder_count, 0);
}

TEST(ParserLexer, IdentifierLengthLimit) {
  EXPECT_EQ(ErrorOf("SELECT " + std::string(128, 'a') + " FROM t"), "ok");
  EXPECT_EQ(
      ErrorOf("SELECT " + std::string(129, 'a')),
      "Msg 103: The identifier that starts with '" + std::string(128, 'a') + "' is too long. Maximum length is 128.");
}

// ---- Syntax errors -------------------------------------------------------------------------------

TEST(ParserErrors, IncorrectSyntaxNearToken) {
  EXPECT_EQ(ErrorOf("INSERT INTO t VALUSE (1)"), "Msg 102: Incorrect syntax near 'VALUSE'.");
  EXPECT_EQ(ErrorOf("SELECT a b c FROM t"), "Msg 102: Incorrect syntax near 'c'.");
  EXPECT_EQ(ErrorOf("SELECT (1"), "Msg 102: Incorrect syntax near '1'.");
  EXPECT_EQ(ErrorOf("SELECT 1 = 1"), "Msg 102: Incorrect syntax near '='.");
  EXPECT_EQ(ErrorOf("SELECT * FROM t WHERE a = = 1"), "Msg 102: Incorrect syntax near '='.");
  EXPECT_EQ(ErrorOf("SELECT 'a' FROM t WHERE x = 'b' 'c'"), "Msg 102: Incorrect syntax near 'c'.");
}

TEST(ParserErrors, IncorrectSyntaxNearKeywordAsWritten) {
  EXPECT_EQ(ErrorOf("SELECT * FROM"), "Msg 156: Incorrect syntax near the keyword 'FROM'.");
  EXPECT_EQ(ErrorOf("select * from t where"), "Msg 156: Incorrect syntax near the keyword 'where'.");
  EXPECT_EQ(ErrorOf("SELECT * FROM t WHERE a = 1 ORDER x"), "Msg 102: Incorrect syntax near 'x'.");
  EXPECT_EQ(ErrorOf("CREATE TABLE t (select int)"), "Msg 156: Incorrect syntax near the keyword 'select'.");
  EXPECT_EQ(ErrorOf("ALTER TABLE t ADD Key int"), "Msg 156: Incorrect syntax near the keyword 'Key'.");
  EXPECT_EQ(ErrorOf("ALTER TABLE t ADD COLUMN x int"), "Msg 156: Incorrect syntax near the keyword 'COLUMN'.");
  EXPECT_EQ(ErrorOf("BEGIN END"), "Msg 156: Incorrect syntax near the keyword 'END'.");
}

TEST(ParserErrors, NonReservedWordsAreNames) {
  EXPECT_EQ(ErrorOf("CREATE TABLE t (Name varchar(10), Text text, Date datetime, Type int, Status char(1), "
                    "Version varchar(50), Nr int, Kennung varchar(20), Datum datetime, Action int, Max int)"),
            "ok");
  EXPECT_EQ(ErrorOf("SELECT Name, Text, Date, Type, Status, Version FROM t"), "ok");
}

TEST(ParserErrors, UnclosedQuotation) {
  try {
    Parse("SELECT * FROM t WHERE a = 'abc\ndef");
    FAIL() << "no error";
  } catch (const SqlError& e) {
    EXPECT_EQ(e.number(), 105);
    EXPECT_EQ(e.text(), "Unclosed quotation mark after the character string 'abc\ndef'.");
    EXPECT_EQ(e.scope(), ErrorScope::kCompile);
    ASSERT_EQ(e.follow().size(), 1u);
    EXPECT_EQ(e.follow()[0].number, 102);
    EXPECT_EQ(e.follow()[0].text, "Incorrect syntax near 'abc\ndef'.");
  }
  EXPECT_EQ(ErrorOf("SELECT [abc"), "Msg 105: Unclosed quotation mark after the character string 'abc'.");
}

TEST(ParserErrors, LineOfTheOffendingToken) {
  try {
    Parse("SELECT 1\nSELECT 2\nSELECT * FROM\n");
    FAIL() << "no error";
  } catch (const SqlError& e) {
    EXPECT_EQ(e.message().line, 3);
  }
  EXPECT_EQ(LineOf("a\nb\nc", 0), 1);
  EXPECT_EQ(LineOf("a\nb\nc", 2), 2);
  EXPECT_EQ(LineOf("a\nb\nc", 100), 3);
}

TEST(ParserErrors, GoIsNotTransactSql) {
  EXPECT_EQ(ErrorOf("CREATE TABLE t (a int)\nGO\nINSERT INTO t VALUES (1)"), "Msg 102: Incorrect syntax near 'GO'.");
  // Where a name may follow, SQL Server takes GO for an alias.
  auto batch = ParseOk("SELECT * FROM t\nGO");
  EXPECT_EQ(One(batch).get<ast::SelectStmt>()->from[0]->alias, "GO");
}

TEST(ParserErrors, ConditionExpected) {
  EXPECT_EQ(ErrorOf("SELECT * FROM t WHERE a"),
            "Msg 4145: An expression of non-boolean type specified in a context where a condition is expected, "
            "near 'a'.");
  EXPECT_EQ(ErrorOf("IF 1 SELECT 2"),
            "Msg 4145: An expression of non-boolean type specified in a context where a condition is expected, "
            "near 'SELECT'.");
}

TEST(ParserErrors, UnsupportedStatementsSayWhat) {
  EXPECT_EQ(ErrorOf("DECLARE @x int").substr(0, 10), "Msg 40000:");
  EXPECT_EQ(ErrorOf("SELECT @x").substr(0, 10), "Msg 40000:");
  EXPECT_EQ(ErrorOf("SELECT 0x00FF").substr(0, 10), "Msg 40000:");
  EXPECT_EQ(ErrorOf("SELECT 1 FROM t FOO BAR"), "Msg 102: Incorrect syntax near 'BAR'.");
}

// ---- Batches -------------------------------------------------------------------------------------

TEST(ParserBatch, StatementsWithoutSeparators) {
  auto batch = ParseOk("UPDATE t SET a = 1 UPDATE t SET b = 2\n  DELETE FROM t;SELECT 1;;");
  ASSERT_EQ(batch.statements.size(), 5u);
  EXPECT_EQ(batch.statements[0]->kind(), StmtKind::kUpdate);
  EXPECT_EQ(batch.statements[0]->text, "UPDATE t SET a = 1");
  EXPECT_EQ(batch.statements[1]->text, "UPDATE t SET b = 2");
  EXPECT_EQ(batch.statements[2]->text, "DELETE FROM t");
  EXPECT_EQ(batch.statements[2]->line, 2);
  EXPECT_EQ(batch.statements[2]->pos, 40u);
  EXPECT_EQ(batch.statements[3]->kind(), StmtKind::kSelect);
  EXPECT_EQ(batch.statements[4]->kind(), StmtKind::kEmpty);
}

TEST(ParserBatch, EmptyBatches) {
  EXPECT_TRUE(ParseOk("").statements.empty());
  EXPECT_TRUE(ParseOk("  -- nothing\n/* at all */ ").statements.empty());
}

// ---- Expressions ---------------------------------------------------------------------------------

TEST(ParserExpr, Precedence) {
  EXPECT_EQ(Expr("1 + 2 * 3"), "(+ 1 (* 2 3))");
  EXPECT_EQ(Expr("(1 + 2) * 3"), "(* (+ 1 2) 3)");
  EXPECT_EQ(Expr("a - b - c"), "(- (- a b) c)");
  EXPECT_EQ(Expr("a + b & c | d ^ e"), "(^ (| (& (+ a b) c) d) e)");
  EXPECT_EQ(Expr("~a * -b % c"), "(% (* (~ a) (- b)) c)");
  EXPECT_EQ(Expr("+'abc'"), "(+ 'abc')");
  EXPECT_EQ(Expr("- -1"), "(- (- 1))");
  EXPECT_EQ(Cond("a = 1 OR b = 2 AND NOT c = 3"), "(OR (= a 1) (AND (= b 2) (NOT (= c 3))))");
  EXPECT_EQ(Cond("(a = 1 OR b = 2) AND c = 3"), "(AND (OR (= a 1) (= b 2)) (= c 3))");
  EXPECT_EQ(Cond("(a + 1) * 2 = b"), "(= (* (+ a 1) 2) b)");
  EXPECT_EQ(Cond("((a)) = 1"), "(= a 1)");
}

TEST(ParserExpr, Comparisons) {
  EXPECT_EQ(Cond("a <> 1 AND b != 2 AND c !< 3 AND d !> 4 AND e <= 5 AND f >= 6 AND g < 7 AND h > 8"),
            "(AND (AND (AND (AND (AND (AND (AND (<> a 1) (<> b 2)) (>= c 3)) (<= d 4)) (<= e 5)) (>= f 6)) "
            "(< g 7)) (> h 8))");
}

TEST(ParserExpr, Predicates) {
  EXPECT_EQ(Cond("a IS NULL OR b IS NOT NULL"), "(OR (IS NULL a) (IS NOT NULL b))");
  EXPECT_EQ(Cond("a BETWEEN 1 AND 2 AND b NOT BETWEEN 3 AND 4"), "(AND (BETWEEN a 1 2) (NOT BETWEEN b 3 4))");
  EXPECT_EQ(Cond("a IN (1, 2) AND b NOT IN ('x')"), "(AND (IN a 1 2) (NOT IN b 'x'))");
  EXPECT_EQ(Cond("a IN (SELECT x FROM u) AND b NOT IN (SELECT y FROM v)"), "(AND (IN a SUBQUERY) (NOT IN b SUBQUERY))");
  EXPECT_EQ(Cond("a LIKE 'x%' AND b NOT LIKE '!%%' ESCAPE '!'"), "(AND (LIKE a 'x%') (NOT LIKE b '!%%' '!'))");
  EXPECT_EQ(Cond("EXISTS (SELECT 1 FROM t) AND NOT EXISTS (SELECT 2)"), "(AND (EXISTS) (NOT EXISTS))");
  EXPECT_EQ(Cond("NOT a IN (1)"), "(NOT (IN a 1))");
  EXPECT_EQ(Cond("(SELECT COUNT(*) FROM t) > 0"), "(> (SUBQUERY) 0)");
}

TEST(ParserExpr, Functions) {
  EXPECT_EQ(Expr("COUNT(*)+1"), "(+ COUNT( *) 1)");
  EXPECT_EQ(Expr("count(DISTINCT a)"), "COUNT(DISTINCT a)");
  EXPECT_EQ(Expr("isnull(SuchText,'')"), "ISNULL( SuchText '')");
  EXPECT_EQ(Expr("UPPER(SUBSTRING(name,7,3))"), "UPPER( SUBSTRING( name 7 3))");
  EXPECT_EQ(Expr("getdate()"), "GETDATE()");
  EXPECT_EQ(Expr("LEFT(a, 2) + RIGHT(b, 1)"), "(+ LEFT( a 2) RIGHT( b 1))");
  EXPECT_EQ(Expr("DATEADD(dd, 1, x)"), "DATEADD( dd 1 x)");
  EXPECT_EQ(Expr("DATEDIFF(mi, a, b)"), "DATEDIFF( mi a b)");
  EXPECT_EQ(Expr("DATEPART(month, a)"), "DATEPART( month a)");
  EXPECT_EQ(Expr("CURRENT_TIMESTAMP"), "CURRENT_TIMESTAMP()");
  EXPECT_EQ(Expr("@@identity"), "@@IDENTITY()");
}

TEST(ParserExpr, CastAndConvert) {
  EXPECT_EQ(Expr("CAST(AdrNr as varchar)+CAST(MitglNr as varchar(10))"),
            "(+ CAST(varchar AdrNr) CAST(varchar(10) MitglNr))");
  EXPECT_EQ(Expr("CONVERT(varchar(10), d, 104)"), "CONVERT(varchar(10) d 104)");
  EXPECT_EQ(Expr("CAST(x AS numeric(18, 2))"), "CAST(numeric(18,2) x)");
  EXPECT_EQ(Expr("CAST(x AS nvarchar(max))"), "CAST(nvarchar(max) x)");
}

TEST(ParserExpr, Case) {
  EXPECT_EQ(Expr("CASE a WHEN 1 THEN 'x' WHEN 2 THEN 'y' ELSE 'z' END"),
            "(CASE a WHEN 1 THEN 'x' WHEN 2 THEN 'y' ELSE 'z')");
  EXPECT_EQ(Expr("CASE WHEN a > 1 AND b IS NULL THEN 1 END"), "(CASE WHEN (AND (> a 1) (IS NULL b)) THEN 1)");
  EXPECT_EQ(ErrorOf("SELECT CASE END"), "Msg 156: Incorrect syntax near the keyword 'END'.");
}

TEST(ParserExpr, QualifiedNames) {
  EXPECT_EQ(Expr("db.dbo.t.c"), "db.dbo.t.c");
  EXPECT_EQ(Expr("A.[Strasse]"), "A.Strasse");
}

}  // namespace
}  // namespace engine::parser_test
