SELECT m.Name, (SELECT MAX(z.Datum) FROM Zahlung z WHERE z.MitgliedID = m.MitgliedID) AS Letzte,
  Anzahl = (SELECT COUNT(*) FROM Zahlung), t.*
FROM Mitglied m, Typen t WHERE m.MitgliedID IN (1, 2, 3) AND m.MitgliedID = ANY_ID
