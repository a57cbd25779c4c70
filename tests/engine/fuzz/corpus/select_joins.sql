SELECT DISTINCT m.Name, k.Bezeichnung, COUNT(*) AS Anzahl, SUM(z.Betrag) Summe
FROM dbo.Mitglied m
LEFT OUTER JOIN Zahlung z ON z.MitgliedID = m.MitgliedID
INNER JOIN Kurs k ON k.KursNr = m.KursNr AND k.Jahr = YEAR(z.Datum)
CROSS JOIN Parameter p
WHERE m.Name LIKE 'M[a-z]%' AND z.Betrag BETWEEN 1 AND 100 OR m.Vorname LIKE '_nna'
GROUP BY m.Name, k.Bezeichnung HAVING COUNT(*) > 1 AND MAX(z.Betrag) <> 0
ORDER BY 3 DESC, m.Name
