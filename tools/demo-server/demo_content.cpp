#include "demo_content.h"

#include "fixture/old_release.h"

namespace demo {
namespace {

// Small enough that the demo server builds in a moment, large enough that the upgrade has real work to do.
constexpr int kDemoMembers = 300;

fixture::Options ClubOptions(std::string_view database_name) {
  fixture::Options options;
  options.members = kDemoMembers;
  if (database_name == "ZENTIX001") {
    options.seed = 2;
  } else if (database_name == "ZENTIX002") {
    options.seed = 3;
  } else if (database_name == "ZENTIXTMP1") {
    options.seed = 4;
  }
  options.club_name = database_name == "ZENTIX002" ? "Ruderclub Seeblick e.V." : "TSV Bergheim 1896 e.V.";
  return options;
}

}  // namespace

std::vector<std::string> ClubDatabaseBatches(std::string_view database_name) {
  const fixture::Options options = ClubOptions(database_name);
  std::vector<std::string> batches = fixture::SchemaBatches(options);
  // The rows go in one transaction: a commit per INSERT would make the build several times slower.
  batches.emplace_back("BEGIN TRANSACTION");
  for (std::string& batch : fixture::DataBatches(options)) batches.push_back(std::move(batch));
  batches.emplace_back("COMMIT");
  return batches;
}

std::vector<std::string> ArchiveBatches() {
  return {
      "CREATE TABLE Archiv (Nr int NOT NULL PRIMARY KEY, Titel varchar(60) NULL)",
      "INSERT INTO Archiv (Nr, Titel) VALUES (1, 'Chronik 1896-1996'), (2, 'Festschrift 125 Jahre')",
  };
}

}  // namespace demo
