#include "demo_content.h"

namespace demo {

std::vector<std::string> ClubDatabaseBatches(std::string_view database_name) {
  const std::string club = database_name == "ZENTIX002" ? "Ruderclub Seeblick e.V." : "TSV Bergheim 1896 e.V.";
  return {
      "CREATE TABLE Mandstam (MandNr int NOT NULL CONSTRAINT PK_Mandstam PRIMARY KEY, Name1 varchar(40) NULL, "
      "Strasse varchar(40) NULL, PLZ varchar(10) NULL, Ort varchar(40) NULL)",
      "INSERT INTO Mandstam (MandNr, Name1, Strasse, PLZ, Ort) VALUES (1, '" + club +
          "', 'Sportplatzweg 3', '79100', 'Freiburg')",
      "CREATE TABLE Adresse (AdrNr int NOT NULL CONSTRAINT PK_Adresse PRIMARY KEY, Name varchar(40) NULL, "
      "Vorname varchar(30) NULL, Eintritt datetime NULL)",
      "INSERT INTO Adresse (AdrNr, Name, Vorname, Eintritt) VALUES (1, 'Becker', 'Anna', '01.03.1998'), "
      "(2, 'Schäfer', 'Jürgen', '15.09.2004'), (3, 'Wolf', 'Miriam', '01.01.2015')",
  };
}

std::vector<std::string> ArchiveBatches() {
  return {
      "CREATE TABLE Archiv (Nr int NOT NULL PRIMARY KEY, Titel varchar(60) NULL)",
      "INSERT INTO Archiv (Nr, Titel) VALUES (1, 'Chronik 1896-1996'), (2, 'Festschrift 125 Jahre')",
  };
}

}  // namespace demo
