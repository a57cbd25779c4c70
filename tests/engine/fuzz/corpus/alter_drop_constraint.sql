IF EXISTS (SELECT name FROM sysobjects WHERE name = N'DF_Mitglied_Beitrag' AND type = 'D')
BEGIN
  ALTER TABLE Mitglied DROP CONSTRAINT DF_Mitglied_Beitrag
END
