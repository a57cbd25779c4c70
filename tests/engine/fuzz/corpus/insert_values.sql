INSERT INTO Mitglied (Name, Vorname, Eintritt, Beitrag) VALUES ('Müller', 'Anna', '01.02.2013', 120.50),
  (N'O''Brien', NULL, '2013-02-20 09:05:00', -3), ('', 'X', CONVERT(datetime, '20.02.2013', 104), 1e3)
