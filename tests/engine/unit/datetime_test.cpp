// datetime parsing under DATEFORMAT, rounding to 1/300 s, formatting and the date functions.
#include <gtest/gtest.h>

#include "values.h"

namespace engine {
namespace {

std::string Parse(std::string_view s, DateFormat f = DateFormat::kDmy) {
  bool oor = false;
  auto d = ParseDateTime(s, f, &oor);
  if (!d) return oor ? "out of range" : "not a date";
  return FormatDateTime(*d);
}

TEST(DateTime, ParseDmy) {
  EXPECT_EQ(Parse("20.02.2013"), "2013-02-20 00:00:00.000");
  EXPECT_EQ(Parse("5.3.2009 09:05"), "2009-03-05 09:05:00.000");
  EXPECT_EQ(Parse("20/02/13"), "2013-02-20 00:00:00.000");
  EXPECT_EQ(Parse("20.02.49"), "2049-02-20 00:00:00.000");
  EXPECT_EQ(Parse("20.02.50"), "1950-02-20 00:00:00.000");
}

TEST(DateTime, IsoDashFormIsYdmUnderDmy) {
  EXPECT_EQ(Parse("2013-02-20"), "out of range");
  EXPECT_EQ(Parse("2013-02-20 10:00:00"), "out of range");
  EXPECT_EQ(Parse("2013-02-10"), "2013-10-02 00:00:00.000");
  EXPECT_EQ(Parse("2013-02-20", DateFormat::kYmd), "2013-02-20 00:00:00.000");
  EXPECT_EQ(Parse("2013-02-20", DateFormat::kMdy), "2013-02-20 00:00:00.000");
}

TEST(DateTime, LanguageNeutralForms) {
  EXPECT_EQ(Parse("20130220"), "2013-02-20 00:00:00.000");
  EXPECT_EQ(Parse("20130220 10:00"), "2013-02-20 10:00:00.000");
  EXPECT_EQ(Parse("2013-02-20T10:00:00"), "2013-02-20 10:00:00.000");
  EXPECT_EQ(Parse("{ts '2013-02-20 10:00:00'}"), "2013-02-20 10:00:00.000");
  EXPECT_EQ(Parse("{d '2013-02-20'}"), "2013-02-20 00:00:00.000");
}

TEST(DateTime, TimeOnlyAndEmpty) {
  EXPECT_EQ(Parse("8:30"), "1900-01-01 08:30:00.000");
  EXPECT_EQ(Parse(""), "1900-01-01 00:00:00.000");
  EXPECT_EQ(Parse("  "), "1900-01-01 00:00:00.000");
  EXPECT_EQ(Parse("10:15:30.5"), "1900-01-01 10:15:30.500");
  EXPECT_EQ(Parse("1:30 PM"), "1900-01-01 13:30:00.000");
  EXPECT_EQ(Parse("12:00 AM"), "1900-01-01 00:00:00.000");
}

TEST(DateTime, MonthNames) {
  EXPECT_EQ(Parse("20 Mai 2013"), "2013-05-20 00:00:00.000");
  EXPECT_EQ(Parse("Feb 20 2013  9:05AM"), "2013-02-20 09:05:00.000");
  EXPECT_EQ(Parse("February 20, 2013"), "2013-02-20 00:00:00.000");
  EXPECT_EQ(Parse("20. Dezember 2013"), "2013-12-20 00:00:00.000");
}

TEST(DateTime, NotDates) {
  EXPECT_EQ(Parse("abc"), "not a date");
  EXPECT_EQ(Parse("20.02"), "not a date");
  EXPECT_EQ(Parse("25:00"), "not a date");
  EXPECT_EQ(Parse("31.02.2013"), "out of range");
  EXPECT_EQ(Parse("01.01.1752"), "out of range");
}

TEST(DateTime, Rounding) {
  EXPECT_EQ(FormatDateTime(MakeDateTime(2013, 1, 1, 0, 0, 0, 1)), "2013-01-01 00:00:00.000");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2013, 1, 1, 0, 0, 0, 2)), "2013-01-01 00:00:00.003");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2013, 1, 1, 0, 0, 0, 4)), "2013-01-01 00:00:00.003");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2013, 1, 1, 0, 0, 0, 5)), "2013-01-01 00:00:00.007");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2013, 1, 1, 0, 0, 0, 8)), "2013-01-01 00:00:00.007");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2013, 1, 1, 0, 0, 0, 9)), "2013-01-01 00:00:00.010");
  EXPECT_EQ(FormatDateTime(MakeDateTime(2013, 12, 31, 23, 59, 59, 999)), "2014-01-01 00:00:00.000");
}

TEST(DateTime, SplitAndEpoch) {
  EXPECT_EQ(MakeDateTime(1900, 1, 1).ms, 0);
  DateParts p = SplitDateTime(MakeDateTime(2013, 2, 20, 9, 5, 7, 3));
  EXPECT_EQ(p.year, 2013);
  EXPECT_EQ(p.month, 2);
  EXPECT_EQ(p.day, 20);
  EXPECT_EQ(p.hour, 9);
  EXPECT_EQ(p.minute, 5);
  EXPECT_EQ(p.second, 7);
  EXPECT_EQ(p.ms, 3);
  EXPECT_EQ(p.weekday, 3);  // Wednesday
  EXPECT_EQ(SplitDateTime(MakeDateTime(1753, 1, 1)).year, 1753);
}

class DateFunctions : public ::testing::Test {
 protected:
  Value Call(std::string_view f, std::vector<Value> args) { return CallScalar(f, args, opts_); }
  static Value D(int y, int m, int d, int h = 0, int mi = 0) { return Value::Date(MakeDateTime(y, m, d, h, mi)); }
  ConvertOptions opts_;
};

TEST_F(DateFunctions, DateAdd) {
  EXPECT_EQ(Call("DATEADD", {Value::VarChar("dd"), Value::Int(1), D(2013, 2, 28)}).ToString(),
            "2013-03-01 00:00:00.000");
  EXPECT_EQ(Call("DATEADD", {Value::VarChar("mm"), Value::Int(1), D(2013, 1, 31)}).ToString(),
            "2013-02-28 00:00:00.000");
  EXPECT_EQ(Call("DATEADD", {Value::VarChar("year"), Value::Int(1), D(2012, 2, 29)}).ToString(),
            "2013-02-28 00:00:00.000");
  EXPECT_EQ(Call("DATEADD", {Value::VarChar("mi"), Value::Int(90), D(2013, 2, 20)}).ToString(),
            "2013-02-20 01:30:00.000");
  EXPECT_EQ(Call("DATEADD", {Value::VarChar("dd"), Value::Int(5), Value::Int(0)}).ToString(),
            "1900-01-06 00:00:00.000");
  EXPECT_EQ(Call("DATEADD", {Value::VarChar("d"), Value::Int(1), Value::VarChar("20.02.2013")}).ToString(),
            "2013-02-21 00:00:00.000");
  EXPECT_THROW(Call("DATEADD", {Value::VarChar("xx"), Value::Int(1), D(2013, 1, 1)}), SqlError);
  try {
    Call("DATEADD", {Value::VarChar("yy"), Value::Int(9000), D(2013, 1, 1)});
    FAIL();
  } catch (const SqlError& e) {
    EXPECT_EQ(e.number(), 517);
  }
}

TEST_F(DateFunctions, DateDiffCountsBoundaries) {
  EXPECT_EQ(Call("DATEDIFF", {Value::VarChar("yy"), D(2012, 12, 31), D(2013, 1, 1)}).as_int(), 1);
  EXPECT_EQ(Call("DATEDIFF", {Value::VarChar("mm"), D(2013, 1, 31), D(2013, 2, 1)}).as_int(), 1);
  EXPECT_EQ(Call("DATEDIFF", {Value::VarChar("dd"), D(2013, 2, 20, 23, 59), D(2013, 2, 21)}).as_int(), 1);
  EXPECT_EQ(Call("DATEDIFF", {Value::VarChar("dd"), D(2013, 2, 21), D(2013, 2, 20)}).as_int(), -1);
  EXPECT_EQ(Call("DATEDIFF", {Value::VarChar("hh"), D(2013, 2, 20, 9, 59), D(2013, 2, 20, 10, 0)}).as_int(), 1);
  // Weeks start on Sunday for DATEDIFF: Saturday -> Sunday crosses one.
  EXPECT_EQ(Call("DATEDIFF", {Value::VarChar("wk"), D(2013, 2, 23), D(2013, 2, 24)}).as_int(), 1);
  EXPECT_EQ(Call("DATEDIFF", {Value::VarChar("wk"), D(2013, 2, 24), D(2013, 3, 2)}).as_int(), 0);
  EXPECT_TRUE(Call("DATEDIFF", {Value::VarChar("dd"), Value(), D(2013, 2, 24)}).is_null());
  // Midnight of a day: DATEADD(dd, DATEDIFF(dd, 0, x), 0).
  Value days = Call("DATEDIFF", {Value::VarChar("dd"), Value::Int(0), D(2013, 2, 20, 9, 5)});
  EXPECT_EQ(Call("DATEADD", {Value::VarChar("dd"), days, Value::Int(0)}).ToString(), "2013-02-20 00:00:00.000");
}

TEST_F(DateFunctions, DatePartAndName) {
  EXPECT_EQ(Call("DATEPART", {Value::VarChar("dw"), D(2013, 2, 18)}).as_int(), 1);  // Monday
  EXPECT_EQ(Call("DATEPART", {Value::VarChar("weekday"), D(2013, 2, 24)}).as_int(), 7);
  EXPECT_EQ(Call("DATEPART", {Value::VarChar("hh"), Value::VarChar("8:30")}).as_int(), 8);
  EXPECT_EQ(Call("DATEPART", {Value::VarChar("dy"), D(2013, 2, 1)}).as_int(), 32);
  EXPECT_EQ(Call("DATEPART", {Value::VarChar("qq"), D(2013, 5, 1)}).as_int(), 2);
  EXPECT_EQ(Call("DATEPART", {Value::VarChar("wk"), D(2013, 1, 1)}).as_int(), 1);
  EXPECT_EQ(Call("DATEPART", {Value::VarChar("isowk"), D(2013, 1, 1)}).as_int(), 1);
  EXPECT_EQ(Call("DATENAME", {Value::VarChar("mm"), D(2013, 5, 1)}).ToString(), "Mai");
  EXPECT_EQ(Call("DATENAME", {Value::VarChar("dw"), D(2013, 5, 1)}).ToString(), "Mittwoch");
  EXPECT_EQ(Call("YEAR", {D(2013, 5, 1)}).as_int(), 2013);
  EXPECT_EQ(Call("MONTH", {Value::VarChar("20.02.2013")}).as_int(), 2);
  EXPECT_EQ(Call("DAY", {D(2013, 5, 1)}).as_int(), 1);
  EXPECT_EQ(Call("GETDATE", {}).type().id, TypeId::kDateTime);
}

}  // namespace
}  // namespace engine
