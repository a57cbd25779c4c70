CREATE TABLE [dbo].[Mitglied] (
  [MitgliedID] int IDENTITY(1,1) NOT NULL,
  [Name] varchar(40) NOT NULL,
  [Vorname] varchar(40) NULL,
  [Eintritt] datetime NULL DEFAULT (getdate()),
  [Beitrag] numeric(18, 2) NOT NULL CONSTRAINT [DF_Mitglied_Beitrag] DEFAULT (0),
  [Aktiv] bit NOT NULL DEFAULT 1,
  CONSTRAINT [PK_Mitglied] PRIMARY KEY CLUSTERED ([MitgliedID] ASC)
    WITH (PAD_INDEX = OFF, IGNORE_DUP_KEY = OFF) ON [PRIMARY]
) ON [PRIMARY]
