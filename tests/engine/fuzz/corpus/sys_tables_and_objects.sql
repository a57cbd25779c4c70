SELECT t.name, c.name, c.column_id, c.max_length, c.is_nullable, c.is_identity
FROM sys.tables t INNER JOIN sys.columns c ON c.object_id = t.object_id
WHERE t.object_id = OBJECT_ID(N'dbo.Mitglied')
SELECT name, type_desc FROM sys.objects WHERE parent_object_id = OBJECT_ID('Mitglied')
