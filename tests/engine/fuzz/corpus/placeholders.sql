SELECT Name FROM Mitglied WHERE MitgliedID = ? AND Eintritt < ?
INSERT INTO Protokoll (Zeit, Text) VALUES (GETDATE(), ?)
