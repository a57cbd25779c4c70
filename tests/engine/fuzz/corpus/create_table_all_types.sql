create table Typen (a bit, b tinyint, c smallint, d integer, e bigint, f decimal(9,4), g numeric,
  h money, i smallmoney, j real, k float, l char(3), m varchar(max), n text, o nchar(2), p nvarchar(10), q ntext,
  r datetime, s smalldatetime, t uniqueidentifier)
