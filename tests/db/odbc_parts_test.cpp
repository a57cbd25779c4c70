// The ODBC provider's parts that need no server: the connection string for each driver, the choice of driver,
// the messages without the driver's prefixes, UTF-16 and the statements that must start their batch.
#include <gtest/gtest.h>

#include <string>

#include "db/connection_items.h"
#include "db/error.h"
#include "odbc/odbc_connection_string.h"
#include "odbc/odbc_statement.h"
#include "odbc/server_message.h"
#include "odbc/utf16.h"

namespace {

using db::odbc::DriverKind;

db::ConnectionItemList Items(std::string_view password, std::string_view win_auth = "N",
                             std::string_view data_source = "SRV01\\SQLEXPRESS") {
  db::ConnectionSettings settings;
  settings.provider = "SQLOLEDB.1";
  settings.user_id = "sa";
  settings.password = password;
  settings.persist_security_info = "False";
  settings.data_source = data_source;
  return db::ParseConnectionString(db::JoinItems(db::ClientConnectionItems(settings, win_auth, "ZENTIX001")));
}

std::string Build(const db::ConnectionItemList& items, std::string_view driver, std::string_view tds_version = "") {
  db::ProviderOptions options;
  options.tds_version = tds_version;
  return db::odbc::OdbcConnectionString(items, options, db::odbc::DriverNamed(driver));
}

TEST(OdbcConnectionString, ItemsBecomeTheDriversKeywords) {
  EXPECT_EQ(Build(Items("geheim"), "ODBC Driver 18 for SQL Server"),
            "Driver={ODBC Driver 18 for SQL Server};Server=SRV01\\SQLEXPRESS;Database=ZENTIX001;UID=sa;PWD=geheim;");
  EXPECT_EQ(Build(Items("geheim"), "FreeTDS"),
            "Driver={FreeTDS};Server=SRV01\\SQLEXPRESS;Database=ZENTIX001;UID=sa;PWD=geheim;TDS_Version=7.4;"
            "ClientCharset=UTF-8;");
  EXPECT_EQ(Build(Items("geheim", "N", "db01,1433"), "/usr/lib/odbc/libtdsodbc.so", "7.3"),
            "Driver={/usr/lib/odbc/libtdsodbc.so};Server=db01,1433;Database=ZENTIX001;UID=sa;PWD=geheim;"
            "TDS_Version=7.3;ClientCharset=UTF-8;");
}

TEST(OdbcConnectionString, IntegratedSecurityIsKerberosWithoutLogin) {
  EXPECT_EQ(Build(Items("geheim", "J"), "ODBC Driver 17 for SQL Server"),
            "Driver={ODBC Driver 17 for SQL Server};Server=SRV01\\SQLEXPRESS;Database=ZENTIX001;"
            "Trusted_Connection=yes;");
}

TEST(OdbcConnectionString, ThisMachineByItsWindowsNames) {
  EXPECT_TRUE(
      Build(Items("x", "N", "(local)\\SQL2019"), "FreeTDS").starts_with("Driver={FreeTDS};Server=localhost\\SQL2019;"));
  EXPECT_TRUE(Build(Items("x", "N", "."), "FreeTDS").starts_with("Driver={FreeTDS};Server=localhost;"));
}

TEST(OdbcConnectionString, ValuesThatWouldBeMisreadAreBraced) {
  EXPECT_EQ(db::odbc::OdbcItem("PWD", "p;w}x=", DriverKind::kMicrosoft), "PWD={p;w}}x=};");
  EXPECT_EQ(db::odbc::OdbcItem("PWD", "p;w}x=", DriverKind::kFreeTds), "PWD={p;w}x=};");
  EXPECT_EQ(db::odbc::OdbcItem("PWD", " blank", DriverKind::kFreeTds), "PWD={ blank};");
  EXPECT_EQ(db::odbc::OdbcItem("PWD", "{x", DriverKind::kMicrosoft), "PWD={{x};");
  EXPECT_EQ(db::odbc::OdbcItem("PWD", "", DriverKind::kMicrosoft), "PWD=;");
  EXPECT_EQ(db::odbc::OdbcItem("PWD", "plain", DriverKind::kMicrosoft), "PWD=plain;");
}

// FreeTDS 1.3 ends a braced value at the first "};": such a value cannot be given to it, and the refusal names
// the item but never shows the value.
TEST(OdbcConnectionString, FreeTdsRefusesAValueWithBraceSemicolon) {
  try {
    Build(Items("ab};c"), "FreeTDS");
    FAIL() << "accepted";
  } catch (const db::Error& e) {
    EXPECT_STREQ(e.what(),
                 "The value of 'PWD' contains \"};\", which the FreeTDS driver cannot be given; change it or use "
                 "another driver.");
    EXPECT_EQ(std::string(e.what()).find("ab};c"), std::string::npos);
  }
  EXPECT_NE(Build(Items("ab};c"), "ODBC Driver 18 for SQL Server").find(";PWD={ab}};c};"), std::string::npos);
}

TEST(OdbcConnectionString, LoginTimeoutFromItemOptionOrDefault) {
  db::ProviderOptions options;
  EXPECT_EQ(db::odbc::LoginTimeoutSeconds(Items("x"), options), 15);
  options.connect_timeout = "30";
  EXPECT_EQ(db::odbc::LoginTimeoutSeconds(Items("x"), options), 30);
  options.connect_timeout = "dreißig";
  EXPECT_EQ(db::odbc::LoginTimeoutSeconds(Items("x"), options), 15);
  db::ConnectionItemList items = Items("x");
  items.emplace_back("Connect Timeout", "5");
  EXPECT_EQ(db::odbc::LoginTimeoutSeconds(items, options), 5);
}

TEST(OdbcDriverChoice, NamedDriverElseTheBestInstalled) {
  EXPECT_EQ(db::odbc::ChooseDriver("My Driver", {"FreeTDS"})->name, "My Driver");
  EXPECT_EQ(db::odbc::ChooseDriver("", {"SQLite3", "FreeTDS", "ODBC Driver 17 for SQL Server"})->name,
            "ODBC Driver 17 for SQL Server");
  EXPECT_EQ(db::odbc::ChooseDriver("", {"freetds"})->kind, DriverKind::kFreeTds);
  EXPECT_EQ(db::odbc::ChooseDriver("", {"ODBC Driver 18 for SQL Server", "FreeTDS"})->kind, DriverKind::kMicrosoft);
  EXPECT_FALSE(db::odbc::ChooseDriver("", {"SQLite3"}).has_value());
  EXPECT_EQ(db::odbc::DriverNamed("/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so").kind, DriverKind::kFreeTds);
}

TEST(OdbcMessages, DriverPrefixesAreDropped) {
  using db::odbc::WithoutDriverPrefixes;
  EXPECT_EQ(WithoutDriverPrefixes("[FreeTDS][SQL Server]Invalid object name 'x'."), "Invalid object name 'x'.");
  EXPECT_EQ(WithoutDriverPrefixes("[Microsoft][ODBC Driver 18 for SQL Server][SQL Server]Divide by zero error "
                                  "encountered."),
            "Divide by zero error encountered.");
  EXPECT_EQ(WithoutDriverPrefixes("[Microsoft][ODBC Driver 17 for SQL Server]Login timeout expired"),
            "Login timeout expired");
  EXPECT_EQ(WithoutDriverPrefixes("[unixODBC][Driver Manager]Can't open lib 'X' : file not found"),
            "Can't open lib 'X' : file not found");
  // What follows the server's component is the server's, brackets included.
  EXPECT_EQ(WithoutDriverPrefixes("[FreeTDS][SQL Server][dbo].[T] is gone."), "[dbo].[T] is gone.");
  EXPECT_EQ(WithoutDriverPrefixes("[dbo].[T] is gone."), "[dbo].[T] is gone.");
}

TEST(OdbcMessages, AConnectFailureShowsItsCauseNotTheDriversSummary) {
  using db::odbc::DiagRecord;
  const std::vector<DiagRecord> unknown_host = {{"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"},
                                                {"01000", 20013, "[FreeTDS][SQL Server]Unknown host machine name."}};
  EXPECT_STREQ(db::odbc::ConnectErrorFrom(unknown_host, "x").what(), "Unknown host machine name.");
  const std::vector<DiagRecord> login = {{"01000", 5701, "[FreeTDS][SQL Server]Changed database context to 'x'."},
                                         {"42000", 18456, "[FreeTDS][SQL Server]Login failed for user 'sa'."},
                                         {"08001", 0, "[FreeTDS][SQL Server]Unable to connect to data source"}};
  EXPECT_EQ(db::odbc::ConnectErrorFrom(login, "x").number(), 18456);
  const std::vector<DiagRecord> no_lib = {
      {"01000", 0, "[unixODBC][Driver Manager]Can't open lib 'X' : file not found"}};
  EXPECT_STREQ(db::odbc::ConnectErrorFrom(no_lib, "x").what(), "Can't open lib 'X' : file not found");
  EXPECT_STREQ(db::odbc::ConnectErrorFrom({}, "nothing said").what(), "nothing said");
  // A batch's error is its first error; informational messages before it do not count.
  EXPECT_EQ(db::odbc::ErrorFrom(login, "x").number(), 18456);
}

TEST(OdbcUtf16, RoundTripsAndReplacesWhatIsMalformed) {
  using db::odbc::ToUtf16;
  using db::odbc::ToUtf8;
  EXPECT_EQ(ToUtf16("Aä€😀"), u"Aä€😀");
  EXPECT_EQ(ToUtf8(u"Aä€😀"), "Aä€😀");
  EXPECT_EQ(ToUtf16("a\xFF"
                    "b"),
            u"a\uFFFDb");
  EXPECT_EQ(ToUtf16("\xC3"), u"\uFFFD");          // cut sequence
  EXPECT_EQ(ToUtf16("\xC0\xAF"), u"\uFFFD");      // overlong "/"
  EXPECT_EQ(ToUtf16("\xED\xA0\x80"), u"\uFFFD");  // a surrogate written as UTF-8
  EXPECT_EQ(ToUtf8(std::u16string(1, char16_t{0xD800}) + u"x"), "\xEF\xBF\xBDx");
}

TEST(OdbcBatches, StatementsThatMustStartTheirBatch) {
  using db::odbc::MustStartBatch;
  EXPECT_TRUE(MustStartBatch("CREATE VIEW v AS SELECT 1"));
  EXPECT_TRUE(MustStartBatch("  -- note\r\n/* a /* nested */ one */ create procedure p AS SELECT 1"));
  EXPECT_TRUE(MustStartBatch("CREATE OR ALTER TRIGGER t ON x AFTER INSERT AS SELECT 1"));
  EXPECT_TRUE(MustStartBatch("ALTER FUNCTION f() RETURNS int AS BEGIN RETURN 1 END"));
  EXPECT_FALSE(MustStartBatch("CREATE TABLE v (a int)"));
  EXPECT_FALSE(MustStartBatch("SELECT 1 CREATE VIEW v AS SELECT 1"));
  EXPECT_FALSE(MustStartBatch(""));
}

}  // namespace
