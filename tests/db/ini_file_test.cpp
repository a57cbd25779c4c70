#include "db/ini_file.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <gtest/gtest.h>

namespace db {
namespace {

namespace fs = std::filesystem;

// Each test gets a directory of its own, so that tests may run side by side.
class IniFileOnDisk : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("clubiqa_ini_test_" + std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path Write(const std::string& bytes) {
    const fs::path path = dir_ / "SysDBAdo.INI";
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  fs::path dir_;
};

TEST_F(IniFileOnDisk, MissingFileGivesDefaults) {
  const IniFile file = IniFile::Load(dir_ / "SysDBAdo.INI");
  EXPECT_EQ(file.Get("Datenbank", "Provider", "ERROR"), "ERROR");
  EXPECT_EQ(file.Get("Datenbank", "Password", ""), "");
}

TEST_F(IniFileOnDisk, ReadsCrLfFileWithByteOrderMark) {
  const IniFile file = IniFile::Load(Write("\xEF\xBB\xBF[Datenbank]\r\nProvider=SQLOLEDB.1\r\nUser ID=sa\r\n"));
  EXPECT_EQ(file.Get("Datenbank", "Provider", "ERROR"), "SQLOLEDB.1");
  EXPECT_EQ(file.Get("Datenbank", "User ID", ""), "sa");
}

TEST_F(IniFileOnDisk, DirectoryThrowsSettingsError) { EXPECT_THROW(IniFile::Load(dir_), SettingsError); }

TEST(IniFile, EmptyFileGivesDefaults) {
  const IniFile file;
  EXPECT_EQ(file.Get("Datenbank", "Provider", "ERROR"), "ERROR");
}

TEST(IniFile, MissingSectionOrKeyGivesDefault) {
  const IniFile file = IniFile::Parse("[Verzeichnis]\nHauptVerz=C:\\Zentix\n[Datenbank]\nProvider=SQLOLEDB.1\n");
  EXPECT_EQ(file.Get("Andere", "Provider", "ERROR"), "ERROR");
  EXPECT_EQ(file.Get("Datenbank", "Data Source", "none"), "none");
  EXPECT_EQ(file.Get("Verzeichnis", "Provider", "ERROR"), "ERROR");
}

TEST(IniFile, NamesMatchWithoutRegardToCase) {
  const IniFile file = IniFile::Parse("[DATENBANK]\nuser id=sa\n");
  EXPECT_EQ(file.Get("Datenbank", "User ID", ""), "sa");
  EXPECT_EQ(file.Get("datenbank", "USER ID", ""), "sa");
}

TEST(IniFile, LfAndCrLfLineEndsReadAlike) {
  const IniFile lf = IniFile::Parse("[Datenbank]\nData Source=SERVER\\SQL\nUser ID=sa");
  const IniFile crlf = IniFile::Parse("[Datenbank]\r\nData Source=SERVER\\SQL\r\nUser ID=sa\r\n");
  for (const IniFile* file : {&lf, &crlf}) {
    EXPECT_EQ(file->Get("Datenbank", "Data Source", ""), "SERVER\\SQL");
    EXPECT_EQ(file->Get("Datenbank", "User ID", ""), "sa");
  }
}

TEST(IniFile, ByteOrderMarkIsSkipped) {
  const IniFile file = IniFile::Parse("\xEF\xBB\xBF[Datenbank]\nProvider=SQLOLEDB.1\n");
  EXPECT_EQ(file.Get("Datenbank", "Provider", "ERROR"), "SQLOLEDB.1");
}

TEST(IniFile, BlanksAndTabsAroundKeyAndValueAreRemoved) {
  const IniFile file = IniFile::Parse("  [Datenbank]  \n \t User ID \t=  \t sa admin \t \n");
  EXPECT_EQ(file.Get("Datenbank", "User ID", ""), "sa admin");
}

TEST(IniFile, ValueIsTextAfterFirstEquals) {
  const IniFile file = IniFile::Parse("[Datenbank]\nPassword=a=b;c\n");
  EXPECT_EQ(file.Get("Datenbank", "Password", ""), "a=b;c");
}

TEST(IniFile, QuotedValuesLoseTheirQuotes) {
  const IniFile file = IniFile::Parse(
      "[Datenbank]\nPassword=\"  geheim; \"\nUser ID='sa'\nData Source=\"\nProvider=\"SQLOLEDB.1'\n"
      "Persist Security Info=a\"b\"\n");
  EXPECT_EQ(file.Get("Datenbank", "Password", ""), "  geheim; ");
  EXPECT_EQ(file.Get("Datenbank", "User ID", ""), "sa");
  EXPECT_EQ(file.Get("Datenbank", "Data Source", ""), "\"");
  EXPECT_EQ(file.Get("Datenbank", "Provider", ""), "\"SQLOLEDB.1'");
  EXPECT_EQ(file.Get("Datenbank", "Persist Security Info", ""), "a\"b\"");
}

TEST(IniFile, FirstKeyAndFirstSectionWin) {
  const IniFile file = IniFile::Parse(
      "[Datenbank]\nUser ID=first\nUSER ID=second\n[Verzeichnis]\nHauptVerz=x\n[datenbank]\nPassword=late\n");
  EXPECT_EQ(file.Get("Datenbank", "User ID", ""), "first");
  EXPECT_EQ(file.Get("Datenbank", "Password", "absent"), "absent");
}

TEST(IniFile, SemicolonLinesAreComments) {
  const IniFile file = IniFile::Parse(
      "; settings\n[Datenbank]\n;Provider=commented\n  ; User ID=commented\nProvider=SQLOLEDB.1\n"
      "#User ID=hash\n");
  EXPECT_EQ(file.Get("Datenbank", "Provider", "ERROR"), "SQLOLEDB.1");
  EXPECT_EQ(file.Get("Datenbank", "User ID", "none"), "none");
  // Only ";" starts a comment; a "#" line is an ordinary key named "#User ID".
  EXPECT_EQ(file.Get("Datenbank", "#User ID", ""), "hash");
}

TEST(IniFile, LinesOutsideSectionsOrWithoutEqualsCarryNothing) {
  const IniFile file = IniFile::Parse("Provider=orphan\n[Datenbank]\nUser ID\n[broken\nPassword=x\n");
  EXPECT_EQ(file.Get("Datenbank", "Provider", "ERROR"), "ERROR");
  EXPECT_EQ(file.Get("Datenbank", "User ID", "none"), "none");
  EXPECT_EQ(file.Get("Datenbank", "Password", ""), "x");
}

TEST(IniFile, EmptyValueIsNotTheDefault) {
  const IniFile file = IniFile::Parse("[Datenbank]\nProvider=\n");
  EXPECT_EQ(file.Get("Datenbank", "Provider", "ERROR"), "");
}

}  // namespace
}  // namespace db
