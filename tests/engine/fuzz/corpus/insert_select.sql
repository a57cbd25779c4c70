INSERT Zahlung (ZahlungID, MitgliedID, Betrag, Datum)
SELECT TOP 10 m.MitgliedID * 10, m.MitgliedID, m.Beitrag / 12, GETDATE() FROM Mitglied AS m WHERE m.Beitrag > 0
