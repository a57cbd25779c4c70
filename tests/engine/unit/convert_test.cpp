// Conversions: string -> number/date with SQL Server's errors and texts, CAST lengths and the
// '*' rule, assignment truncation, overflow, char padding, styles.
#include <gtest/gtest.h>

#include "values.h"

namespace engine {
namespace {

SqlType T(TypeId id, int32_t length = 0, uint8_t p = 0, uint8_t s = 0) { return SqlType{id, length, p, s}; }

class ConvertTest : public ::testing::Test {
 protected:
  Value Cast(const Value& v, SqlType t) { return Convert(v, t, opts_, ConvertMode::kExplicit); }
  Value Assign(const Value& v, SqlType t) { return Convert(v, t, opts_, ConvertMode::kAssign); }
  // Number and text of the error a conversion raises ("" when none).
  std::string ErrorOf(const Value& v, SqlType t, ConvertMode mode = ConvertMode::kExplicit) {
    try {
      Convert(v, t, opts_, mode);
    } catch (const SqlError& e) {
      return std::to_string(e.number()) + " " + e.text();
    }
    return "";
  }
  ConvertOptions opts_;
};

TEST_F(ConvertTest, StringToInt) {
  EXPECT_EQ(Cast(Value::VarChar(" 12 "), T(TypeId::kInt)).as_int(), 12);
  EXPECT_EQ(Cast(Value::VarChar(""), T(TypeId::kInt)).as_int(), 0);
  EXPECT_EQ(Cast(Value::VarChar("-5"), T(TypeId::kInt)).as_int(), -5);
  EXPECT_EQ(ErrorOf(Value::VarChar("abc"), T(TypeId::kInt)),
            "245 Conversion failed when converting the varchar value 'abc' to data type int.");
  EXPECT_EQ(ErrorOf(Value::VarChar("1.5"), T(TypeId::kInt)),
            "245 Conversion failed when converting the varchar value '1.5' to data type int.");
  EXPECT_EQ(ErrorOf(Value::NVarChar("x"), T(TypeId::kSmallInt)),
            "245 Conversion failed when converting the nvarchar value 'x' to data type smallint.");
  EXPECT_EQ(ErrorOf(Value::VarChar("300"), T(TypeId::kTinyInt)),
            "220 Arithmetic overflow error for data type tinyint, value = 300.");
  EXPECT_EQ(ErrorOf(Value::VarChar("99999999999"), T(TypeId::kInt)),
            "248 The conversion of the varchar value '99999999999' overflowed an int column.");
}

TEST_F(ConvertTest, ConversionErrorScopes) {
  try {
    Cast(Value::VarChar("abc"), T(TypeId::kInt));
    FAIL();
  } catch (const SqlError& e) {
    EXPECT_EQ(e.scope(), ErrorScope::kBatch);
    EXPECT_EQ(e.severity(), 16);
  }
}

TEST_F(ConvertTest, Bit) {
  EXPECT_EQ(Cast(Value::Int(5), T(TypeId::kBit)).as_int(), 1);
  EXPECT_EQ(Cast(Value::Int(0), T(TypeId::kBit)).as_int(), 0);
  EXPECT_EQ(Cast(Value::VarChar("1"), T(TypeId::kBit)).as_int(), 1);
  EXPECT_EQ(Cast(Value::VarChar("TRUE"), T(TypeId::kBit)).as_int(), 1);
  EXPECT_EQ(ErrorOf(Value::VarChar("J"), T(TypeId::kBit)),
            "245 Conversion failed when converting the varchar value 'J' to data type bit.");
}

TEST_F(ConvertTest, IntOverflow) {
  EXPECT_EQ(ErrorOf(Value::Int(300), T(TypeId::kTinyInt)),
            "220 Arithmetic overflow error for data type tinyint, value = 300.");
  EXPECT_EQ(ErrorOf(Value::Int(3000000000LL, TypeId::kBigInt), T(TypeId::kInt)),
            "8115 Arithmetic overflow error converting expression to data type int.");
  opts_.ansi_warnings = false;
  EXPECT_TRUE(Cast(Value::Int(300), T(TypeId::kTinyInt)).is_null());
}

TEST_F(ConvertTest, Decimals) {
  Value d = Cast(Value::VarChar("1.235"), T(TypeId::kDecimal, 0, 5, 2));
  EXPECT_EQ(d.ToString(), "1.24");
  EXPECT_EQ(Cast(Value::Int(1190), T(TypeId::kNumeric, 0, 10, 2)).ToString(), "1190.00");
  EXPECT_EQ(Cast(Value::Float(2.5), T(TypeId::kDecimal, 0, 5, 0)).ToString(), "3");
  EXPECT_EQ(Cast(Value::VarChar("-0.5"), T(TypeId::kDecimal, 0, 5, 2)).ToString(), "-0.50");
  EXPECT_EQ(ErrorOf(Value::VarChar("abc"), T(TypeId::kDecimal, 0, 5, 2)),
            "8114 Error converting data type varchar to numeric.");
  EXPECT_EQ(ErrorOf(Value::VarChar(""), T(TypeId::kDecimal, 0, 5, 2)),
            "8114 Error converting data type varchar to numeric.");
  EXPECT_EQ(ErrorOf(Value::Int(1000), T(TypeId::kDecimal, 0, 3, 1)),
            "8115 Arithmetic overflow error converting int to data type numeric.");
  // decimal -> int truncates
  EXPECT_EQ(Cast(Cast(Value::VarChar("1.9"), T(TypeId::kDecimal, 0, 5, 1)), T(TypeId::kInt)).as_int(), 1);
}

TEST_F(ConvertTest, MoneyAndFloat) {
  EXPECT_EQ(Cast(Value::VarChar("12.5"), T(TypeId::kMoney)).ToString(), "12.5000");
  EXPECT_EQ(Cast(Cast(Value::VarChar("12.5"), T(TypeId::kMoney)), T(TypeId::kVarChar, 30)).ToString(), "12.50");
  EXPECT_EQ(Cast(Value::VarChar("1e2"), T(TypeId::kFloat)).ToString(), "100");
  EXPECT_EQ(ErrorOf(Value::VarChar("abc"), T(TypeId::kFloat)), "8114 Error converting data type varchar to float.");
  EXPECT_EQ(Cast(Value::Float(1.5), T(TypeId::kVarChar, 30)).ToString(), "1.5");
  EXPECT_EQ(Cast(Value::Float(1e20), T(TypeId::kVarChar, 30)).ToString(), "1e+020");
  EXPECT_EQ(Cast(Value::Float(123456789.0), T(TypeId::kVarChar, 30)).ToString(), "1.23457e+008");
}

TEST_F(ConvertTest, NumberToShortString) {
  EXPECT_EQ(Cast(Value::Int(123), T(TypeId::kVarChar, 2)).ToString(), "*");
  EXPECT_EQ(Cast(Value::Int(123), T(TypeId::kVarChar, 3)).ToString(), "123");
  EXPECT_EQ(ErrorOf(Value::Int(123), T(TypeId::kNVarChar, 2)),
            "8115 Arithmetic overflow error converting expression to data type nvarchar.");
  Value dec = Cast(Value::VarChar("12.5"), T(TypeId::kDecimal, 0, 5, 1));
  EXPECT_EQ(ErrorOf(dec, T(TypeId::kVarChar, 2)),
            "8115 Arithmetic overflow error converting numeric to data type varchar.");
}

TEST_F(ConvertTest, StringLengths) {
  EXPECT_EQ(Cast(Value::VarChar("abcdef"), T(TypeId::kVarChar, 3)).ToString(), "abc");
  EXPECT_EQ(Cast(Value::VarChar("ab"), T(TypeId::kChar, 5)).ToString(), "ab   ");
  EXPECT_EQ(Assign(Value::VarChar("abc   "), T(TypeId::kVarChar, 3)).ToString(), "abc");
  EXPECT_EQ(ErrorOf(Value::VarChar("abcd"), T(TypeId::kVarChar, 3), ConvertMode::kAssign),
            "8152 String or binary data would be truncated.");
  try {
    Assign(Value::VarChar("abcd"), T(TypeId::kVarChar, 3));
  } catch (const SqlError& e) {
    EXPECT_EQ(e.scope(), ErrorScope::kStatement);
    ASSERT_EQ(e.follow().size(), 1u);
    EXPECT_EQ(e.follow()[0].number, 3621);
  }
  opts_.ansi_warnings = false;
  EXPECT_EQ(Assign(Value::VarChar("abcd"), T(TypeId::kVarChar, 3)).ToString(), "abc");
  EXPECT_EQ(Cast(Value::NVarChar("Łódź"), T(TypeId::kVarChar, 10)).ToString(), "Lódz");
  EXPECT_EQ(Cast(Value::VarChar(std::string(40, 'x')), T(TypeId::kVarChar, 30)).ToString(), std::string(30, 'x'));
}

TEST_F(ConvertTest, DateTimes) {
  EXPECT_EQ(Cast(Value::VarChar("20.02.2013"), T(TypeId::kDateTime)).ToString(), "2013-02-20 00:00:00.000");
  EXPECT_EQ(ErrorOf(Value::VarChar("2013-02-20"), T(TypeId::kDateTime)),
            "242 The conversion of a varchar data type to a datetime data type resulted in an out-of-range value.");
  EXPECT_EQ(ErrorOf(Value::VarChar("abc"), T(TypeId::kDateTime)),
            "241 Conversion failed when converting date and/or time from character string.");
  EXPECT_EQ(Cast(Value::Int(1), T(TypeId::kDateTime)).ToString(), "1900-01-02 00:00:00.000");
  EXPECT_EQ(Cast(Value::Float(1.25), T(TypeId::kDateTime)).ToString(), "1900-01-02 06:00:00.000");
  Value dt = Value::Date(MakeDateTime(2013, 2, 20, 13, 5));
  EXPECT_EQ(Cast(dt, T(TypeId::kVarChar, 30)).ToString(), "Feb 20 2013  1:05PM");
  EXPECT_EQ(Cast(dt, T(TypeId::kSmallDateTime)).ToString(), "2013-02-20 13:05:00");
  EXPECT_EQ(Cast(Value::Date(MakeDateTime(2013, 2, 20, 13, 5, 30)), T(TypeId::kSmallDateTime)).ToString(),
            "2013-02-20 13:06:00");
  EXPECT_EQ(Cast(Value::Date(MakeDateTime(2013, 2, 20, 18, 0)), T(TypeId::kInt)).as_int(),
            Cast(Value::Date(MakeDateTime(2013, 2, 21)), T(TypeId::kInt)).as_int());
}

TEST_F(ConvertTest, Styles) {
  Value dt = Value::Date(MakeDateTime(2013, 2, 20, 9, 5, 7, 3));
  auto style = [&](int s) { return ConvertWithStyle(dt, T(TypeId::kVarChar, 30), s, opts_).ToString(); };
  EXPECT_EQ(style(104), "20.02.2013");
  EXPECT_EQ(style(103), "20/02/2013");
  EXPECT_EQ(style(101), "02/20/2013");
  EXPECT_EQ(style(112), "20130220");
  EXPECT_EQ(style(108), "09:05:07");
  EXPECT_EQ(style(120), "2013-02-20 09:05:07");
  EXPECT_EQ(style(121), "2013-02-20 09:05:07.003");
  EXPECT_EQ(ConvertWithStyle(Value::VarChar("2013-02-20"), T(TypeId::kDateTime), 120, opts_).ToString(),
            "2013-02-20 00:00:00.000");
  EXPECT_EQ(ConvertWithStyle(Value::VarChar("02/20/2013"), T(TypeId::kDateTime), 101, opts_).ToString(),
            "2013-02-20 00:00:00.000");
}

TEST_F(ConvertTest, Guid) {
  Value g = Cast(Value::VarChar("6f9619ff-8b86-d011-b42d-00c04fc964ff"), T(TypeId::kUniqueIdentifier));
  EXPECT_EQ(g.ToString(), "6F9619FF-8B86-D011-B42D-00C04FC964FF");
  EXPECT_EQ(ErrorOf(Value::VarChar("xyz"), T(TypeId::kUniqueIdentifier)),
            "8169 Conversion failed when converting from a character string to uniqueidentifier.");
}

TEST_F(ConvertTest, NullStaysNullWithTargetType) {
  Value n = Cast(Value(), T(TypeId::kInt));
  EXPECT_TRUE(n.is_null());
  EXPECT_EQ(n.type().id, TypeId::kInt);
  EXPECT_EQ(n.ToString(), "NULL");
}

}  // namespace
}  // namespace engine
