IF NOT EXISTS (SELECT 1 FROM sysindexes WHERE name = 'IX_Zahlung_Datum')
  IF (SELECT COUNT(*) FROM Zahlung) > 0 CREATE INDEX IX_Zahlung_Datum ON Zahlung (Datum)
  ELSE PRINT 'leer'
