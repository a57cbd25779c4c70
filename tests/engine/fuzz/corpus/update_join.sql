UPDATE z SET z.Betrag = z.Betrag * 1.19, Text = 'brutto'
FROM Zahlung z INNER JOIN Mitglied m ON m.MitgliedID = z.MitgliedID
WHERE m.Aktiv = 1 AND z.Datum >= DATEADD(month, -1, GETDATE())
