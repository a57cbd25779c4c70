CREATE VIEW dbo.vAktiveMitglieder AS
SELECT m.MitgliedID, m.Name + ', ' + ISNULL(m.Vorname, '') AS Anzeige, m.Eintritt
FROM Mitglied m WHERE m.Aktiv = 1
