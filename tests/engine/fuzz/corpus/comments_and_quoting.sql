/* Kopf
   -- verschachtelt? */
SELECT [Name mit Blank], "Quoted Ident", [a]]b] -- Kommentar am Ende
FROM [Verein].[dbo].[Mitglied] /* inline */ WHERE [Name] = 'it''s' AND Vorname = N''
