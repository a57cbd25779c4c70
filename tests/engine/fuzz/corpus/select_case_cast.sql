SELECT CASE Aktiv WHEN 1 THEN 'ja' WHEN 0 THEN 'nein' ELSE NULL END AS Status,
  CAST(Beitrag AS varchar(20)) + ' EUR', CONVERT(varchar(10), Eintritt, 104), CAST('12.5' AS numeric(9,2)),
  COALESCE(Vorname, Name, N'?'), NULLIF(Beitrag, 0), LEN(RTRIM(LTRIM(Name))), CHARINDEX('a', Name, 2)
FROM Mitglied
