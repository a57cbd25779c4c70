CREATE DATABASE Verein_2013
USE Verein_2013
SELECT name, dbid FROM sys.databases WHERE name = DB_NAME()
DROP DATABASE Verein_Alt
