#include "db/connection_items.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace db {
namespace {

constexpr char kFullFile[] =
    "[Datenbank]\r\n"
    "Provider=SQLOLEDB.1\r\n"
    "Password=geheim\r\n"
    "Persist Security Info=True\r\n"
    "User ID=sa\r\n"
    "Initial Catalog=Anderswo\r\n"
    "Data Source=SERVER\\SQLEXPRESS\r\n"
    "WinAuth=J\r\n"
    "[Verzeichnis]\r\n"
    "HauptVerz=C:\\Zentix\r\n";

ConnectionSettings Sample() { return ConnectionSettings{"SQLOLEDB.1", "geheim", "True", "sa", "SERVER\\SQLEXPRESS"}; }

TEST(ReadSettings, ReadsTheFiveValuesAndWinAuth) {
  std::string win_auth = "stale";
  const ConnectionSettings settings = ReadSettings(IniFile::Parse(kFullFile), &win_auth);
  EXPECT_EQ(settings.provider, "SQLOLEDB.1");
  EXPECT_EQ(settings.password, "geheim");
  EXPECT_EQ(settings.persist_security_info, "True");
  EXPECT_EQ(settings.user_id, "sa");
  EXPECT_EQ(settings.data_source, "SERVER\\SQLEXPRESS");
  EXPECT_EQ(win_auth, "J");
}

TEST(ReadSettings, MissingFileGivesProviderErrorAndEmptyRest) {
  std::string win_auth = "stale";
  const ConnectionSettings settings = ReadSettings(IniFile(), &win_auth);
  EXPECT_EQ(settings.provider, "ERROR");
  EXPECT_EQ(settings.password, "");
  EXPECT_EQ(settings.persist_security_info, "");
  EXPECT_EQ(settings.user_id, "");
  EXPECT_EQ(settings.data_source, "");
  EXPECT_EQ(win_auth, "");
  EXPECT_EQ(ReadSettings(IniFile(), nullptr).provider, "ERROR");
}

TEST(ConnectionItems, ServerItemsWithWindowsAuthenticationForZentix) {
  const std::string text = JoinItems(ServerConnectionItems(Sample(), "J", "Zentix"));
  EXPECT_EQ(text,
            "Provider=SQLOLEDB.1;\r\n"
            "Persist Security Info=True;\r\n"
            "Integrated Security=SSPI;\r\n"
            "Initial Catalog=Zentix;\r\n"
            "Data Source=SERVER\\SQLEXPRESS;\r\n");
}

TEST(ConnectionItems, ServerItemsWithServerLoginForZentix) {
  const std::string text = JoinItems(ServerConnectionItems(Sample(), "", "Zentix"));
  EXPECT_EQ(text,
            "Provider=SQLOLEDB.1;\r\n"
            "Persist Security Info=True;\r\n"
            "Password=geheim;\r\n"
            "User ID=sa;\r\n"
            "Initial Catalog=Zentix;\r\n"
            "Data Source=SERVER\\SQLEXPRESS;\r\n");
}

TEST(ConnectionItems, ClientItemsPutPersistAfterAuthentication) {
  EXPECT_EQ(JoinItems(ClientConnectionItems(Sample(), "J", "ZENTIX001")),
            "Provider=SQLOLEDB.1;\r\n"
            "Integrated Security=SSPI;\r\n"
            "Persist Security Info=True;\r\n"
            "Initial Catalog=ZENTIX001;\r\n"
            "Data Source=SERVER\\SQLEXPRESS;\r\n");
  EXPECT_EQ(JoinItems(ClientConnectionItems(Sample(), "N", "ZENTIX001")),
            "Provider=SQLOLEDB.1;\r\n"
            "Password=geheim;\r\n"
            "User ID=sa;\r\n"
            "Persist Security Info=True;\r\n"
            "Initial Catalog=ZENTIX001;\r\n"
            "Data Source=SERVER\\SQLEXPRESS;\r\n");
}

TEST(ConnectionItems, OnlyCapitalJSelectsWindowsAuthentication) {
  for (const char* win_auth : {"j", "Ja", "JA", " J", "", "N"}) {
    const std::vector<std::string> expected = {"Provider=SQLOLEDB.1;",    "Persist Security Info=True;",
                                               "Password=geheim;",        "User ID=sa;",
                                               "Initial Catalog=Zentix;", "Data Source=SERVER\\SQLEXPRESS;"};
    EXPECT_EQ(ServerConnectionItems(Sample(), win_auth, "Zentix"), expected) << "WinAuth=" << win_auth;
  }
}

TEST(ConnectionItems, WindowsAuthenticationLeavesOutLoginWhateverTheFileHolds) {
  const std::string text = JoinItems(ClientConnectionItems(Sample(), "J", "Zentix"));
  EXPECT_EQ(text.find("Password="), std::string::npos);
  EXPECT_EQ(text.find("User ID="), std::string::npos);
}

TEST(ConnectionItems, AbsentPersistSecurityInfoGivesEmptyItem) {
  ConnectionSettings settings = Sample();
  settings.persist_security_info.clear();
  EXPECT_EQ(ServerConnectionItems(settings, "J", "Zentix")[1], "Persist Security Info=;");
  EXPECT_EQ(ClientConnectionItems(settings, "J", "Zentix")[2], "Persist Security Info=;");
}

TEST(ConnectionItems, CatalogComesFromCallerNotFromFile) {
  std::string win_auth;
  const ConnectionSettings settings = ReadSettings(IniFile::Parse(kFullFile), &win_auth);
  const std::string server = JoinItems(ServerConnectionItems(settings, win_auth, "Zentix"));
  const std::string client = JoinItems(ClientConnectionItems(settings, win_auth, "ZENTIX002"));
  EXPECT_EQ(server.find("Anderswo"), std::string::npos);
  EXPECT_NE(server.find("\r\nInitial Catalog=Zentix;\r\n"), std::string::npos);
  EXPECT_EQ(client.find("Anderswo"), std::string::npos);
  EXPECT_NE(client.find("\r\nInitial Catalog=ZENTIX002;\r\n"), std::string::npos);
}

TEST(ConnectionItems, MissingFileStillBuildsItemsWithProviderError) {
  std::string win_auth;
  const ConnectionSettings settings = ReadSettings(IniFile(), &win_auth);
  EXPECT_EQ(JoinItems(ServerConnectionItems(settings, win_auth, "Zentix")),
            "Provider=ERROR;\r\nPersist Security Info=;\r\nPassword=;\r\nUser ID=;\r\n"
            "Initial Catalog=Zentix;\r\nData Source=;\r\n");
}

TEST(FormatItem, OrdinaryValuesStandAsRead) {
  EXPECT_EQ(FormatItem("Password", "O'Brien"), "Password=O'Brien;");
  EXPECT_EQ(FormatItem("Password", "a=b"), "Password=a=b;");
  EXPECT_EQ(FormatItem("Data Source", "SERVER\\SQL EXPRESS"), "Data Source=SERVER\\SQL EXPRESS;");
  EXPECT_EQ(FormatItem("Password", ""), "Password=;");
}

TEST(FormatItem, QuotesValuesTheProviderWouldMisread) {
  EXPECT_EQ(FormatItem("Password", "ge;heim"), "Password=\"ge;heim\";");
  EXPECT_EQ(FormatItem("Password", "say \"hi\""), "Password='say \"hi\"';");
  EXPECT_EQ(FormatItem("Password", "it's \"x\";"), "Password=\"it's \"\"x\"\";\";");
  EXPECT_EQ(FormatItem("Password", "'lead"), "Password=\"'lead\";");
  EXPECT_EQ(FormatItem("Password", " padded "), "Password=\" padded \";");
  EXPECT_EQ(FormatItem("Password", "=x"), "Password=\"=x\";");
}

TEST(ConnectionErrorText, DoublesQuotesInTheName) {
  EXPECT_EQ(ConnectionErrorText("Zentix", "Login failed."),
            "False parameters for database connection.\nUnable to connect to database 'Zentix'.\n\nLogin failed.");
  EXPECT_EQ(ConnectionErrorText("ZENTIX'O''X", "x"),
            "False parameters for database connection.\nUnable to connect to database 'ZENTIX''O''''X'.\n\nx");
}

TEST(ParseConnectionString, ReadsJoinedItems) {
  const auto items = ParseConnectionString(JoinItems(ServerConnectionItems(Sample(), "J", "Zentix")));
  const std::vector<std::pair<std::string, std::string>> expected = {{"Provider", "SQLOLEDB.1"},
                                                                     {"Persist Security Info", "True"},
                                                                     {"Integrated Security", "SSPI"},
                                                                     {"Initial Catalog", "Zentix"},
                                                                     {"Data Source", "SERVER\\SQLEXPRESS"}};
  EXPECT_EQ(items, expected);
}

TEST(ParseConnectionString, TrimsBlanksAndSkipsEmptySegments) {
  const auto items = ParseConnectionString(" ; Provider = SQLOLEDB.1 ;;\r\n  User ID =  sa admin ;junk; Password='' ");
  const std::vector<std::pair<std::string, std::string>> expected = {
      {"Provider", "SQLOLEDB.1"}, {"User ID", "sa admin"}, {"Password", ""}};
  EXPECT_EQ(items, expected);
}

TEST(ParseConnectionString, RejectsBrokenQuotes) {
  EXPECT_THROW(ParseConnectionString("Password=\"open;"), SettingsError);
  EXPECT_THROW(ParseConnectionString("Password=\"a\"b;"), SettingsError);
}

TEST(ParseConnectionString, RoundTripsEveryValue) {
  const std::vector<std::string> values = {"plain",    "ge;heim", "say \"hi\"", "it's \"x\";", "'lead",   "\"lead",
                                           " padded ", "\ttab",   "=x",         "a=b",         "O'Brien", "",
                                           "\"\"",     "''",      ";",          "x;\r\ny",     "ä ö ü"};
  for (const std::string& value : values) {
    ConnectionSettings settings = Sample();
    settings.password = value;
    settings.data_source = value;
    const auto items = ParseConnectionString(JoinItems(ClientConnectionItems(settings, "", value)));
    EXPECT_EQ(FindItem(items, "password"), value);
    EXPECT_EQ(FindItem(items, "DATA SOURCE"), value);
    EXPECT_EQ(FindItem(items, "Initial Catalog"), value);
    EXPECT_EQ(FindItem(items, "User ID"), "sa");
  }
}

TEST(FindItem, IgnoresCaseAndTakesTheLastOccurrence) {
  const auto items = ParseConnectionString("Data Source=a;data source=b;");
  EXPECT_EQ(FindItem(items, "DATA SOURCE"), "b");
  EXPECT_EQ(FindItem(items, "Provider"), std::nullopt);
}

}  // namespace
}  // namespace db
