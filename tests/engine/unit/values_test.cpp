// Values, types, comparison, grouping keys, operators, string and math functions, and the
// wording of the error factories.
#include <gtest/gtest.h>

#include "ast.h"
#include "errors.h"
#include "values.h"

namespace engine {
namespace {

using ast::BinaryOp;

SqlType T(TypeId id, int32_t length = 0, uint8_t p = 0, uint8_t s = 0) { return SqlType{id, length, p, s}; }

class ValuesTest : public ::testing::Test {
 protected:
  Value Op(BinaryOp op, const Value& a, const Value& b) { return Arithmetic(op, a, b, opts_); }
  Value Call(std::string_view f, std::vector<Value> args) { return CallScalar(f, args, opts_); }
  Value Dec(std::string_view text) { return NumericLiteral(text); }
  int ErrorNumber(const std::function<void()>& f) {
    try {
      f();
    } catch (const SqlError& e) {
      return e.number();
    }
    return 0;
  }
  ConvertOptions opts_;
};

TEST_F(ValuesTest, ToString) {
  EXPECT_EQ(Value().ToString(), "NULL");
  EXPECT_EQ(Value::Int(42).ToString(), "42");
  EXPECT_EQ(Value::Bit(true).ToString(), "1");
  EXPECT_EQ(Value::Float(1.5).ToString(), "1.5");
  EXPECT_EQ(Value::Float(100).ToString(), "100");
  EXPECT_EQ(Value::Float(0.1).ToString(), "0.1");
  EXPECT_EQ(Value::Dec({119000, 2}, T(TypeId::kNumeric, 0, 10, 2)).ToString(), "1190.00");
  EXPECT_EQ(Value::Dec({125000, 4}, T(TypeId::kMoney)).ToString(), "12.5000");
  EXPECT_EQ(Value::Dec({-5, 1}, T(TypeId::kDecimal, 0, 3, 1)).ToString(), "-0.5");
  EXPECT_EQ(Value::Date(MakeDateTime(2013, 2, 20, 9, 5)).ToString(), "2013-02-20 09:05:00.000");
  EXPECT_EQ(Value::String("ab   ", T(TypeId::kChar, 5)).ToString(), "ab   ");
}

TEST_F(ValuesTest, Factories) {
  EXPECT_EQ(Value::VarChar("").type(), T(TypeId::kVarChar, 1));
  EXPECT_EQ(Value::VarChar("Müller").type(), T(TypeId::kVarChar, 6));
  EXPECT_EQ(Value::NVarChar("abc").type(), T(TypeId::kNVarChar, 3));
  EXPECT_TRUE(Value::Null(T(TypeId::kInt)).is_null());
}

TEST_F(ValuesTest, TypeNames) {
  EXPECT_EQ(T(TypeId::kVarChar, 40).Declaration(), "varchar(40)");
  EXPECT_EQ(T(TypeId::kNVarChar, -1).Declaration(), "nvarchar(max)");
  EXPECT_EQ(T(TypeId::kNumeric, 0, 18, 8).Declaration(), "numeric(18,8)");
  EXPECT_EQ(T(TypeId::kInt).Declaration(), "int");
  EXPECT_GT(T(TypeId::kDateTime).Precedence(), T(TypeId::kFloat).Precedence());
  EXPECT_GT(T(TypeId::kInt).Precedence(), T(TypeId::kNVarChar).Precedence());
  EXPECT_GT(T(TypeId::kNVarChar).Precedence(), T(TypeId::kVarChar).Precedence());
}

TEST_F(ValuesTest, ResolveType) {
  auto resolve = [](std::string name, int32_t len = -2, int32_t p = -1, int32_t s = -1, int32_t def = 30) {
    ast::TypeSpec spec;
    spec.name = std::move(name);
    spec.length = len;
    spec.precision = p;
    spec.scale = s;
    return ResolveType(spec, def);
  };
  EXPECT_EQ(resolve("VARCHAR"), T(TypeId::kVarChar, 30));
  EXPECT_EQ(resolve("varchar", -2, -1, -1, 1), T(TypeId::kVarChar, 1));
  EXPECT_EQ(resolve("integer"), T(TypeId::kInt));
  EXPECT_EQ(resolve("dec"), T(TypeId::kDecimal, 0, 18, 0));
  EXPECT_EQ(resolve("numeric", -2, 10, 2), T(TypeId::kNumeric, 0, 10, 2));
  EXPECT_EQ(resolve("sysname"), T(TypeId::kNVarChar, 128));
  EXPECT_EQ(resolve("double precision"), T(TypeId::kFloat));
  EXPECT_EQ(resolve("nvarchar", -1), T(TypeId::kNVarChar, -1));
  EXPECT_EQ(ErrorNumber([&] { resolve("blob"); }), 2715);
}

TEST_F(ValuesTest, NumericLiterals) {
  EXPECT_EQ(NumericLiteral("12").type(), T(TypeId::kInt));
  EXPECT_EQ(NumericLiteral("12.50").type(), T(TypeId::kNumeric, 0, 4, 2));
  EXPECT_EQ(NumericLiteral("0.5").type(), T(TypeId::kNumeric, 0, 1, 1));
  EXPECT_EQ(NumericLiteral("1e2").type().id, TypeId::kFloat);
  EXPECT_EQ(NumericLiteral("2147483648").type(), T(TypeId::kNumeric, 0, 10, 0));
}

TEST_F(ValuesTest, CommonType) {
  EXPECT_EQ(CommonType(T(TypeId::kVarChar, 10), T(TypeId::kNVarChar, 5)), T(TypeId::kNVarChar, 10));
  EXPECT_EQ(CommonType(T(TypeId::kInt), T(TypeId::kVarChar, 5)), T(TypeId::kInt));
  EXPECT_EQ(CommonType(T(TypeId::kNull), T(TypeId::kDateTime)), T(TypeId::kDateTime));
  EXPECT_EQ(CommonType(T(TypeId::kInt), T(TypeId::kNumeric, 0, 5, 2)), T(TypeId::kNumeric, 0, 12, 2));
}

TEST_F(ValuesTest, Compare) {
  EXPECT_EQ(Compare(Value::Int(1), Value::Int(2), opts_), -1);
  EXPECT_EQ(Compare(Value::VarChar("abc"), Value::String("ABC  ", T(TypeId::kChar, 5)), opts_), 0);
  EXPECT_EQ(Compare(Value::Int(1), Dec("1.00"), opts_), 0);
  EXPECT_EQ(Compare(Value::Float(0.5), Dec("0.5"), opts_), 0);
  EXPECT_EQ(Compare(Value::VarChar("12"), Value::Int(12), opts_), 0);
  EXPECT_EQ(Compare(Value::VarChar("20.02.2013"), Value::Date(MakeDateTime(2013, 2, 20)), opts_), 0);
  EXPECT_FALSE(Compare(Value(), Value::Int(1), opts_).has_value());
  EXPECT_EQ(ErrorNumber([&] { Compare(Value::VarChar("abc"), Value::Int(1), opts_); }), 245);
  EXPECT_EQ(ErrorNumber([&] { Compare(Value::VarChar("J"), Value::Bit(true), opts_); }), 245);
}

TEST_F(ValuesTest, Grouping) {
  EXPECT_TRUE(GroupEqual(Value(), Value(), opts_));
  EXPECT_FALSE(GroupEqual(Value(), Value::Int(0), opts_));
  EXPECT_EQ(GroupKey(Value::Int(1)), GroupKey(Dec("1.00")));
  EXPECT_EQ(GroupKey(Value::Float(1)), GroupKey(Value::Int(1, TypeId::kBigInt)));
  EXPECT_EQ(GroupKey(Value::Float(0.5)), GroupKey(Dec("0.50")));
  EXPECT_NE(GroupKey(Value::Int(1)), GroupKey(Value::Int(2)));
  EXPECT_EQ(GroupKey(Value::VarChar("Straße ")), GroupKey(Value::NVarChar("STRASSE")));
  EXPECT_NE(GroupKey(Value::VarChar("a")), GroupKey(Value::VarChar("ä")));
  EXPECT_NE(GroupKey(Value()), GroupKey(Value::VarChar("")));
}

TEST_F(ValuesTest, IntegerArithmetic) {
  EXPECT_EQ(Op(BinaryOp::kDiv, Value::Int(7), Value::Int(2)).as_int(), 3);
  EXPECT_EQ(Op(BinaryOp::kDiv, Value::Int(-7), Value::Int(2)).as_int(), -3);
  EXPECT_EQ(Op(BinaryOp::kMod, Value::Int(7), Value::Int(3)).as_int(), 1);
  EXPECT_EQ(Op(BinaryOp::kAdd, Value::VarChar("125127"), Value::Int(15)).as_int(), 125142);
  EXPECT_EQ(Op(BinaryOp::kAdd, Value::Int(200, TypeId::kTinyInt), Value::Int(100, TypeId::kTinyInt)).as_int(), 300);
  EXPECT_EQ(ErrorNumber([&] { Op(BinaryOp::kAdd, Value::Int(INT32_MAX), Value::Int(1)); }), 8115);
  EXPECT_EQ(ErrorNumber([&] { Op(BinaryOp::kDiv, Value::Int(1), Value::Int(0)); }), 8134);
  EXPECT_EQ(ErrorNumber([&] { Op(BinaryOp::kAdd, Value::VarChar("abc"), Value::Int(1)); }), 245);
  EXPECT_EQ(Op(BinaryOp::kBitAnd, Value::Int(6), Value::Int(3)).as_int(), 2);
  EXPECT_TRUE(Op(BinaryOp::kAdd, Value::Int(1), Value()).is_null());
  opts_.ansi_warnings = false;
  EXPECT_TRUE(Op(BinaryOp::kDiv, Value::Int(1), Value::Int(0)).is_null());
}

TEST_F(ValuesTest, DecimalArithmetic) {
  Value sum = Op(BinaryOp::kAdd, Dec("1.10"), Dec("2.205"));
  EXPECT_EQ(sum.ToString(), "3.305");
  EXPECT_EQ(sum.type(), T(TypeId::kNumeric, 0, 5, 3));
  EXPECT_EQ(Op(BinaryOp::kMul, Dec("1.5"), Dec("2.25")).ToString(), "3.375");
  EXPECT_EQ(Op(BinaryOp::kSub, Dec("1190.00"), Value::Int(190)).ToString(), "1000.00");
  // Division scale is max(6, s1 + p2 + 1), an integer divisor counting its digits; truncated.
  EXPECT_EQ(Op(BinaryOp::kDiv, Dec("1.0"), Value::Int(3)).ToString(), "0.333333");
  EXPECT_EQ(Op(BinaryOp::kDiv, Dec("2.0"), Value::Int(3)).ToString(), "0.666666");
  EXPECT_EQ(Op(BinaryOp::kDiv, Dec("2.0"), Dec("3.0")).ToString(), "0.666666");
  Value wide = Op(BinaryOp::kDiv, Value::Dec({100, 2}, T(TypeId::kDecimal, 0, 18, 2)),
                  Value::Dec({300, 2}, T(TypeId::kDecimal, 0, 18, 2)));
  EXPECT_EQ(wide.ToString().substr(0, 10), "0.33333333");
  EXPECT_EQ(ErrorNumber([&] { Op(BinaryOp::kDiv, Dec("1.0"), Value::Int(0)); }), 8134);
  Value money = Convert(Value::VarChar("10"), T(TypeId::kMoney), opts_, ConvertMode::kExplicit);
  EXPECT_EQ(Op(BinaryOp::kMul, money, Value::Int(3)).ToString(), "30.0000");
  EXPECT_EQ(Op(BinaryOp::kAdd, Value::Float(1.5), Value::Int(1)).ToString(), "2.5");
}

TEST_F(ValuesTest, StringOperators) {
  Value s = Op(BinaryOp::kAdd, Value::VarChar("ab"), Value::NVarChar("c"));
  EXPECT_EQ(s.ToString(), "abc");
  EXPECT_EQ(s.type().id, TypeId::kNVarChar);
  EXPECT_TRUE(Op(BinaryOp::kAdd, Value::VarChar("ab"), Value::Null(T(TypeId::kVarChar, 3))).is_null());
  EXPECT_TRUE(Op(BinaryOp::kAdd, Value::VarChar("ab"), Value()).is_null());
  EXPECT_EQ(Op(BinaryOp::kAdd, Value::String("abc  ", T(TypeId::kChar, 5)), Value::VarChar("x")).ToString(), "abc  x");
  EXPECT_EQ(ErrorNumber([&] { Op(BinaryOp::kSub, Value::VarChar("a"), Value::VarChar("b")); }), 402);
  EXPECT_EQ(ErrorNumber([&] { Negate(Value::VarChar("a")); }), 8117);
  EXPECT_EQ(UnaryPlus(Value::VarChar("a")).ToString(), "a");
  EXPECT_EQ(Negate(Value::Int(5)).as_int(), -5);
  EXPECT_EQ(BitNot(Value::Bit(true)).as_int(), 0);
}

TEST_F(ValuesTest, DateArithmetic) {
  Value d = Value::Date(MakeDateTime(1900, 1, 10));
  EXPECT_EQ(Op(BinaryOp::kAdd, d, Dec("1.25")).ToString(), "1900-01-11 06:00:00.000");
  EXPECT_EQ(Op(BinaryOp::kAdd, Value::Date(MakeDateTime(2013, 2, 20)), Dec("0.03")).ToString(),
            "2013-02-20 00:43:12.000");
  EXPECT_EQ(Op(BinaryOp::kSub, Value::Date(MakeDateTime(2013, 3, 1)), Value::Int(1)).ToString(),
            "2013-02-28 00:00:00.000");
  EXPECT_EQ(Op(BinaryOp::kAdd, Value::Date(MakeDateTime(2013, 2, 20, 8, 0)), Value::VarChar("01:30")).ToString(),
            "2013-02-20 09:30:00.000");
  EXPECT_EQ(ErrorNumber([&] { Op(BinaryOp::kMul, d, Value::Int(2)); }), 8117);
}

TEST_F(ValuesTest, NullFunctions) {
  Value r = Call("ISNULL", {Value::Null(T(TypeId::kVarChar, 2)), Value::VarChar("abcd")});
  EXPECT_EQ(r.ToString(), "ab");
  EXPECT_EQ(r.type(), T(TypeId::kVarChar, 2));
  EXPECT_EQ(Call("ISNULL", {Value(), Value::Int(3)}).type().id, TypeId::kInt);
  EXPECT_EQ(Call("ISNULL", {Value::Int(1), Value::Int(3)}).as_int(), 1);
  EXPECT_EQ(Call("COALESCE", {Value(), Value::Int(2), Dec("1.5")}).ToString(), "2.0");
  EXPECT_TRUE(Call("NULLIF", {Value::Int(1), Value::Int(1)}).is_null());
  EXPECT_EQ(Call("NULLIF", {Value::Int(1), Value::Int(2)}).as_int(), 1);
  EXPECT_EQ(ErrorNumber([&] { Call("ISNULL", {Value::Int(1)}); }), 174);
  EXPECT_TRUE(IsScalarFunction("DATEADD"));
  EXPECT_FALSE(IsScalarFunction("COUNT"));
}

TEST_F(ValuesTest, StringFunctions) {
  EXPECT_EQ(Call("LEN", {Value::VarChar("abc  ")}).as_int(), 3);
  EXPECT_EQ(Call("LEN", {Value::Int(123)}).as_int(), 3);
  EXPECT_EQ(Call("DATALENGTH", {Value::VarChar("abc  ")}).as_int(), 5);
  EXPECT_EQ(Call("DATALENGTH", {Value::NVarChar("ab")}).as_int(), 4);
  EXPECT_EQ(Call("LEFT", {Value::VarChar("abcdef"), Value::Int(2)}).ToString(), "ab");
  EXPECT_EQ(Call("LEFT", {Value::VarChar("ab"), Value::Int(5)}).ToString(), "ab");
  EXPECT_EQ(Call("RIGHT", {Value::VarChar("abcdef"), Value::Int(2)}).ToString(), "ef");
  EXPECT_EQ(Call("RIGHT", {Value::String("ab   ", T(TypeId::kChar, 5)), Value::Int(2)}).ToString(), "  ");
  EXPECT_EQ(ErrorNumber([&] { Call("RIGHT", {Value::VarChar("a"), Value::Int(-1)}); }), 536);
  EXPECT_EQ(ErrorNumber([&] { Call("LEFT", {Value::VarChar("a"), Value::Int(-1)}); }), 536);
  EXPECT_EQ(Call("SUBSTRING", {Value::VarChar("abc"), Value::Int(0), Value::Int(2)}).ToString(), "a");
  EXPECT_EQ(Call("SUBSTRING", {Value::VarChar("abc"), Value::Int(2), Value::Int(5)}).ToString(), "bc");
  EXPECT_EQ(Call("SUBSTRING", {Value::VarChar("abc"), Value::Int(-3), Value::Int(2)}).ToString(), "");
  EXPECT_EQ(ErrorNumber([&] { Call("SUBSTRING", {Value::VarChar("a"), Value::Int(1), Value::Int(-1)}); }), 537);
  EXPECT_EQ(Call("UPPER", {Value::VarChar("straße ä")}).ToString(), "STRAßE Ä");
  EXPECT_EQ(Call("LTRIM", {Value::VarChar("  a ")}).ToString(), "a ");
  EXPECT_EQ(Call("RTRIM", {Value::VarChar("  a ")}).ToString(), "  a");
  EXPECT_EQ(Call("CHARINDEX", {Value::VarChar("B"), Value::VarChar("abcb")}).as_int(), 2);
  EXPECT_EQ(Call("CHARINDEX", {Value::VarChar("b"), Value::VarChar("abcb"), Value::Int(3)}).as_int(), 4);
  EXPECT_EQ(Call("CHARINDEX", {Value::VarChar("x"), Value::VarChar("abc")}).as_int(), 0);
  EXPECT_EQ(Call("REPLICATE", {Value::VarChar("ab"), Value::Int(3)}).ToString(), "ababab");
  EXPECT_EQ(Call("SPACE", {Value::Int(2)}).ToString(), "  ");
  EXPECT_EQ(Call("STR", {Value::Float(12.5), Value::Int(6), Value::Int(1)}).ToString(), "  12.5");
  EXPECT_EQ(Call("STR", {Value::Int(123456), Value::Int(3)}).ToString(), "***");
  EXPECT_EQ(Call("ASCII", {Value::VarChar("A")}).as_int(), 65);
  EXPECT_EQ(Call("CHAR", {Value::Int(65)}).ToString(), "A");
  EXPECT_EQ(Call("UNICODE", {Value::NVarChar("ä")}).as_int(), 0xE4);
}

TEST_F(ValuesTest, ReplaceFollowsCollation) {
  Value r = Call("REPLACE", {Value::VarChar("Abc abc"), Value::VarChar("ABC"), Value::VarChar("x")});
  EXPECT_EQ(r.ToString(), "x x");
  EXPECT_EQ(r.type().id, TypeId::kVarChar);
  EXPECT_EQ(Call("REPLACE", {Value::VarChar("äa"), Value::VarChar("a"), Value::VarChar("o")}).ToString(), "äo");
  Value n = Call("REPLACE", {Value::VarChar("abc"), Value::NVarChar("b"), Value::VarChar("x")});
  EXPECT_EQ(n.type().id, TypeId::kNVarChar);
  EXPECT_TRUE(Call("REPLACE", {Value::VarChar("abc"), Value(), Value::VarChar("x")}).is_null());
}

TEST_F(ValuesTest, MathFunctions) {
  EXPECT_EQ(Call("ABS", {Value::Int(-3)}).as_int(), 3);
  EXPECT_EQ(Call("ABS", {Dec("-1.50")}).ToString(), "1.50");
  EXPECT_EQ(Call("ROUND", {Dec("748.58"), Value::Int(-2)}).ToString(), "700.00");
  EXPECT_EQ(Call("ROUND", {Dec("748.58"), Value::Int(1)}).ToString(), "748.60");
  EXPECT_EQ(Call("ROUND", {Dec("748.58"), Value::Int(1), Value::Int(1)}).ToString(), "748.50");
  EXPECT_EQ(Call("ROUND", {Dec("-2.5"), Value::Int(0)}).ToString(), "-3.0");
  EXPECT_EQ(Call("FLOOR", {Dec("-1.5")}).ToString(), "-2");
  EXPECT_EQ(Call("CEILING", {Dec("1.2")}).ToString(), "2");
  EXPECT_EQ(Call("SIGN", {Value::Int(-7)}).as_int(), -1);
  EXPECT_EQ(Call("POWER", {Value::Int(2), Value::Int(10)}).as_int(), 1024);
  EXPECT_EQ(Call("SQRT", {Value::Int(16)}).ToString(), "4");
  EXPECT_EQ(Call("NEWID", {}).ToString().size(), 36u);
  EXPECT_EQ(Call("ISNUMERIC", {Value::VarChar("12.5")}).as_int(), 1);
  EXPECT_EQ(Call("ISNUMERIC", {Value::VarChar("abc")}).as_int(), 0);
}

TEST(Errors, Texts) {
  EXPECT_EQ(err::CannotOpenDatabase("X").text(),
            "Cannot open database \"X\" requested by the login. The login failed.");
  EXPECT_EQ(err::CannotOpenDatabase("X").scope(), ErrorScope::kFatal);
  EXPECT_EQ(err::LoginFailed("x").text(), "Login failed for user 'x'.");
  EXPECT_EQ(err::DatabaseExists("x").text(), "Database 'x' already exists. Choose a different database name.");
  EXPECT_EQ(err::DatabaseNotFound("x").text(),
            "Database 'x' does not exist. Make sure that the name is entered correctly.");
  EXPECT_EQ(err::CannotDrop("table", "t").text(),
            "Cannot drop the table 't', because it does not exist or you do not have permission.");
  EXPECT_EQ(err::CannotDrop("table", "t").scope(), ErrorScope::kStatement);
  EXPECT_EQ(err::InvalidColumn("x").text(), "Invalid column name 'x'.");
  EXPECT_EQ(err::InvalidObject("x").text(), "Invalid object name 'x'.");
  EXPECT_EQ(err::ObjectExists("x").text(), "There is already an object named 'x' in the database.");
  EXPECT_EQ(err::ColumnSpecifiedTwice("x", "t").text(),
            "Column names in each table must be unique. Column name 'x' in table 't' is specified more than once.");
  EXPECT_EQ(err::IndexExists("ix", "t").text(),
            "The operation failed because an index or statistics with name 'ix' already exists on table 't'.");
  EXPECT_EQ(err::CannotFindObject("t").text(),
            "Cannot find the object \"t\" because it does not exist or you do not have permissions.");
  EXPECT_EQ(err::SyntaxNear("x").scope(), ErrorScope::kCompile);
}

TEST(Errors, FollowUps) {
  SqlError pk = err::DuplicateKey(true, "PK_t", "dbo.t", "(1)");
  EXPECT_EQ(pk.number(), 2627);
  EXPECT_EQ(pk.severity(), 14);
  EXPECT_EQ(pk.text(),
            "Violation of PRIMARY KEY constraint 'PK_t'. Cannot insert duplicate key in object 'dbo.t'. The duplicate "
            "key value is (1).");
  EXPECT_EQ(pk.scope(), ErrorScope::kStatement);
  ASSERT_EQ(pk.follow().size(), 1u);
  EXPECT_EQ(pk.follow()[0].number, 3621);

  SqlError nullable = err::NullablePrimaryKey("t");
  EXPECT_EQ(nullable.text(), "Cannot define PRIMARY KEY constraint on nullable column in table 't'.");
  ASSERT_EQ(nullable.follow().size(), 1u);
  EXPECT_EQ(nullable.follow()[0].number, 1750);
  EXPECT_EQ(nullable.follow()[0].text, "Could not create constraint. See previous errors.");

  SqlError drop = err::NotAConstraint("c");
  ASSERT_EQ(drop.follow().size(), 1u);
  EXPECT_EQ(drop.follow()[0].number, 3727);

  SqlError dup = err::DuplicateOnCreateIndex("dbo.t", "PK_t", "(1)", true);
  ASSERT_EQ(dup.follow().size(), 2u);
  EXPECT_EQ(dup.follow()[0].number, 1750);
  EXPECT_EQ(dup.follow()[1].number, 3621);

  SqlError fk = err::ConstraintConflict("INSERT", "FOREIGN KEY", "FK_x", "db", "dbo.Parent", "ParentId");
  EXPECT_EQ(fk.text(),
            "The INSERT statement conflicted with the FOREIGN KEY constraint \"FK_x\". The conflict occurred in "
            "database \"db\", table \"dbo.Parent\", column 'ParentId'.");
  EXPECT_EQ(fk.scope(), ErrorScope::kStatement);
  EXPECT_EQ(err::ConstraintConflict("ALTER TABLE", "CHECK", "c", "db", "dbo.t", "").scope(), ErrorScope::kBatch);
}

TEST(Results, Helpers) {
  BatchResult r;
  StatementResult count;
  count.kind = StatementResult::Kind::kCount;
  count.count = 2;
  r.items.push_back(count);
  StatementResult rows;
  rows.kind = StatementResult::Kind::kRows;
  rows.rows.columns.push_back(ColumnInfo{"Eintritt ", SqlType{TypeId::kInt}, true});
  r.items.push_back(rows);
  StatementResult error;
  error.kind = StatementResult::Kind::kMessage;
  error.message = err::InvalidObject("x").message();
  error.is_error = true;
  r.items.push_back(error);
  r.items.push_back(count);
  EXPECT_EQ(r.RowsAffected(), 4);
  ASSERT_NE(r.FirstRows(), nullptr);
  EXPECT_EQ(r.FirstRows()->Find("EINTRITT"), 0u);
  EXPECT_FALSE(r.FirstRows()->Find("x").has_value());
  ASSERT_NE(r.FirstError(), nullptr);
  EXPECT_EQ(r.FirstError()->number, 208);
}

}  // namespace
}  // namespace engine
