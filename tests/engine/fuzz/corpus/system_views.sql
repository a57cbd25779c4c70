SELECT o.name, c.name, t.name, c.length, c.xprec, c.xscale, c.isnullable
FROM sysobjects o JOIN syscolumns c ON c.id = o.id JOIN systypes t ON t.xtype = c.xtype
WHERE o.xtype = 'U' AND o.name = 'Mitglied'
SELECT TABLE_NAME, COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, COLUMN_DEFAULT
FROM INFORMATION_SCHEMA.COLUMNS WHERE TABLE_SCHEMA = 'dbo' ORDER BY TABLE_NAME, ORDINAL_POSITION
SELECT name FROM master.dbo.sysdatabases ORDER BY dbid
