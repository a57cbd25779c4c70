CREATE UNIQUE NONCLUSTERED INDEX [IX_Mitglied_Name] ON [dbo].[Mitglied] ([Name] ASC, [Vorname] DESC)
WITH (FILLFACTOR = 90) ON [PRIMARY]
DROP INDEX Mitglied.IX_Mitglied_Alt
