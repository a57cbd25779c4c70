IF EXISTS (SELECT * FROM sysobjects WHERE id = object_id(N'[dbo].[vAlt]') AND OBJECTPROPERTY(id, N'IsView') = 1)
DROP VIEW [dbo].[vAlt]
DROP TABLE dbo.Temp_Import;
