IF NOT EXISTS (SELECT * FROM syscolumns WHERE id = OBJECT_ID('Mitglied') AND name = 'Telefon')
  ALTER TABLE Mitglied ADD Telefon varchar(30) NULL
