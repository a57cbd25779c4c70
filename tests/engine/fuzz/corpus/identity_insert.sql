SET IDENTITY_INSERT Mitglied ON
INSERT INTO Mitglied (MitgliedID, Name, Beitrag) VALUES (1000, 'Import', 0)
SET IDENTITY_INSERT Mitglied OFF
