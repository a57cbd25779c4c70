DELETE FROM Zahlung WHERE MitgliedID NOT IN (SELECT MitgliedID FROM Mitglied)
DELETE Mitglied WHERE NOT EXISTS (SELECT 1 FROM Zahlung WHERE Zahlung.MitgliedID = Mitglied.MitgliedID)
