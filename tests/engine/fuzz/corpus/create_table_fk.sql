CREATE TABLE Zahlung (
  ZahlungID int NOT NULL PRIMARY KEY NONCLUSTERED,
  MitgliedID int NOT NULL CONSTRAINT FK_Zahlung_Mitglied FOREIGN KEY REFERENCES Mitglied (MitgliedID),
  Betrag money NOT NULL,
  Datum smalldatetime NOT NULL,
  Text nvarchar(max) NULL,
  Kennung uniqueidentifier NOT NULL DEFAULT NEWID(),
  UNIQUE (MitgliedID, Datum)
)
