// A scratch client database ZENTIX001 holding the tables of the previous release that the first catalogue
// stage works on, with a few rows each, and the engine's batch trace turned on.
//
// The trace (trace.jsonl in the server directory, one JSON object per batch) is the witness of what the
// upgrader really sent. Sessions decide at opening whether they trace, so the reader session that sets up
// and inspects the database is opened before server.ini turns the trace on: its batches never show up.
#ifndef CLUBIQA_TESTS_UPGRADE_PREVIOUS_RELEASE_H_
#define CLUBIQA_TESTS_UPGRADE_PREVIOUS_RELEASE_H_

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "db/access_test_support.h"
#include "db/connection.h"
#include "db/layer_test_server.h"
#include "engine/engine.h"
#include "fixture/old_release.h"

namespace upgrade_test {

inline constexpr std::string_view kClientDatabase = "ZENTIX001";

// The previous release's tables as far as stage A touches them. F5Dat is keyed by PK_F5DAT on the tax key
// alone and holds the four old codes among others; the members cover a NULL, an empty and a real function.
inline constexpr std::string_view kPreviousReleaseTables = R"(
CREATE TABLE Mandstam (MandNr int NOT NULL CONSTRAINT PK_Mandstam PRIMARY KEY, Name varchar (50) NULL)
CREATE TABLE Adresse (AdrNr int NOT NULL CONSTRAINT PK_Adresse PRIMARY KEY, Name varchar (50) NULL,
  Funktion varchar (80) NULL)
CREATE TABLE HyAdresse (AdrNr int NOT NULL CONSTRAINT PK_HyAdresse PRIMARY KEY, Name varchar (50) NULL)
CREATE TABLE inter (InterNr int NOT NULL CONSTRAINT PK_inter PRIMARY KEY, Bezeichnung varchar (50) NULL)
CREATE TABLE Interes (AdrNr int NOT NULL, InterNr int NOT NULL)
CREATE TABLE Interes1 (AdrNr int NOT NULL, InterNr int NOT NULL)
CREATE TABLE F5Dat (STEUERSCHL int NOT NULL, BEZEICHNUNG varchar (40) NULL,
  CONSTRAINT PK_F5DAT PRIMARY KEY CLUSTERED (STEUERSCHL))
CREATE TABLE F5Kont (KONTO int NOT NULL CONSTRAINT PK_F5Kont PRIMARY KEY, STSCHL int NULL)
CREATE TABLE F5BEW4 (BUCHJAHR int NOT NULL, InterneNr int NOT NULL, LfdNr int NULL, SUCHTEXT varchar (50) NULL)
CREATE TABLE F5kennz (BILANZ_GUV varchar (6) NOT NULL, KENNZAHLH varchar (4) NOT NULL, BEZEICHG varchar (100) NULL,
  CONSTRAINT PK_F5kennz PRIMARY KEY CLUSTERED (BILANZ_GUV, KENNZAHLH))
CREATE TABLE F6KOST (KOSTNR varchar (10) NOT NULL CONSTRAINT PK_F6KOST PRIMARY KEY, BEZEICHNUNG varchar (50) NULL)
)";

inline constexpr std::string_view kPreviousReleaseRows = R"(
INSERT INTO Mandstam (MandNr, Name) VALUES (1, 'TSV Musterstadt')
INSERT INTO Adresse (AdrNr, Name, Funktion) VALUES (1, 'Anna', NULL)
INSERT INTO Adresse (AdrNr, Name, Funktion) VALUES (2, 'Bernd', '')
INSERT INTO Adresse (AdrNr, Name, Funktion) VALUES (3, 'Carla', 'Kassenwart')
INSERT INTO HyAdresse (AdrNr, Name) VALUES (1, 'Anna')
INSERT INTO inter (InterNr, Bezeichnung) VALUES (1, 'Tennis')
INSERT INTO Interes (AdrNr, InterNr) VALUES (3, 1)
INSERT INTO Interes1 (AdrNr, InterNr) VALUES (3, 1)
INSERT INTO F5Dat (STEUERSCHL, BEZEICHNUNG) VALUES (0, 'ohne Steuer')
INSERT INTO F5Dat (STEUERSCHL, BEZEICHNUNG) VALUES (7, 'Vorsteuer 7')
INSERT INTO F5Dat (STEUERSCHL, BEZEICHNUNG) VALUES (1070, 'alt 7')
INSERT INTO F5Dat (STEUERSCHL, BEZEICHNUNG) VALUES (1100, 'alt 10')
INSERT INTO F5Dat (STEUERSCHL, BEZEICHNUNG) VALUES (1160, 'alt 16')
INSERT INTO F5Dat (STEUERSCHL, BEZEICHNUNG) VALUES (1170, 'alt 17')
INSERT INTO F5Dat (STEUERSCHL, BEZEICHNUNG) VALUES (1190, 'alt 19')
INSERT INTO F5Kont (KONTO, STSCHL) VALUES (1000, 1190)
INSERT INTO F5Kont (KONTO, STSCHL) VALUES (1010, 1170)
INSERT INTO F5Kont (KONTO, STSCHL) VALUES (1020, 1070)
INSERT INTO F5Kont (KONTO, STSCHL) VALUES (1030, 1160)
INSERT INTO F5Kont (KONTO, STSCHL) VALUES (1040, 19)
INSERT INTO F5Kont (KONTO, STSCHL) VALUES (1050, 1100)
INSERT INTO F5Kont (KONTO, STSCHL) VALUES (1060, NULL)
INSERT INTO F5BEW4 (BUCHJAHR, InterneNr, LfdNr, SUCHTEXT) VALUES (2012, 1, 1, 'Beitrag')
INSERT INTO F5kennz (BILANZ_GUV, KENNZAHLH, BEZEICHG) VALUES ('GUV', '1', 'Ideeller Bereich')
INSERT INTO F6KOST (KOSTNR, BEZEICHNUNG) VALUES ('100', 'Tennis')
)";

class ClientDatabase {
 public:
  ClientDatabase() {
    server_.CreateDatabase(kClientDatabase);
    engine::OpenOptions options;
    options.data_source = server_dir();
    options.initial_catalog = kClientDatabase;
    reader_ = engine::Session::Open(options);
    std::ofstream(server_dir() / "server.ini", std::ios::binary) << "[Server]\r\nTrace=1\r\n";
  }

  // The previous release's tables with their rows.
  void CreatePreviousRelease() {
    Run(kPreviousReleaseTables);
    Run(kPreviousReleaseRows);
  }

  // The whole base schema of the previous release with a club of `members` generated members.
  void CreateOldRelease(int members) {
    fixture::Options options;
    options.members = members;
    fixture::Populate(*reader_, options);
  }

  // Runs `batch` on ZENTIX001 untraced; fails the test on an error.
  void Run(std::string_view batch) {
    engine::BatchResult result = reader_->Execute(batch);
    if (const engine::Message* error = result.FirstError()) ADD_FAILURE() << batch << ": " << error->text;
  }

  // The rows of `select`, read untraced: the values of a row joined with "|", each row followed by "\n";
  // NULL shows as NULL.
  std::string Rows(std::string_view select) {
    engine::BatchResult result = reader_->Execute(select);
    if (const engine::Message* error = result.FirstError()) return "error: " + error->text;
    const engine::ResultSet* rows = result.FirstRows();
    if (rows == nullptr) return "no rows returned";
    std::string text;
    for (const auto& row : rows->rows) {
      for (size_t i = 0; i < row.size(); ++i) text += (i == 0 ? "" : "|") + row[i].ToString();
      text += "\n";
    }
    return text;
  }

  // Every user table with all its rows, and every column of the database: to show that a run changed
  // nothing.
  std::string Everything() {
    std::string text = Rows(
        "SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, NUMERIC_PRECISION, NUMERIC_SCALE,"
        " IS_NULLABLE FROM Information_Schema.Columns ORDER BY TABLE_NAME, ORDINAL_POSITION");
    text += Rows("SELECT name, xtype FROM sysobjects ORDER BY name");
    for (const std::string& table : Lines(Rows("SELECT name FROM sysobjects WHERE xtype='U' ORDER BY name"))) {
      text += "-- " + table + "\n" + Rows("SELECT * FROM [" + table + "]");
    }
    return text;
  }

  // Every batch traced since the last ClearTrace.
  std::vector<db_test::TraceEntry> Trace() const { return db_test::ReadTrace(server_dir() / "trace.jsonl"); }
  void ClearTrace() const {
    std::error_code ignored;
    std::filesystem::remove(server_dir() / "trace.jsonl", ignored);
  }

  // Opens `connection` on ZENTIX001 as the upgrader's client connection.
  void Open(db::Connection& connection) const { db_test::OpenOn(connection, server_, kClientDatabase); }

  std::filesystem::path server_dir() const { return server_.base_dir() / db_test::kServerDir; }

 private:
  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; start = end + 1, end = text.find('\n', start)) {
      lines.push_back(text.substr(start, end - start));
    }
    return lines;
  }

  db_test::TestServer server_;
  std::unique_ptr<engine::Session> reader_;
};

}  // namespace upgrade_test

#endif  // CLUBIQA_TESTS_UPGRADE_PREVIOUS_RELEASE_H_
