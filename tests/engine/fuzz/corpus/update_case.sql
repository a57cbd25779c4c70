UPDATE Mitglied SET Beitrag = CASE WHEN DATEDIFF(year, Eintritt, GETDATE()) >= 25 THEN 0
  WHEN Beitrag IS NULL THEN 60.00 ELSE ROUND(Beitrag * 1.05, 2) END, Name = UPPER(LEFT(Name, 1)) + LOWER(SUBSTRING(Name, 2, 39))
