// Statements: the tree built for each statement shape the upgrader and fixture scripts send
// (queries, DML, DDL, control flow, SET), and the parser's limits on hostile input.
#include <gtest/gtest.h>

#include <string>

#include "parser.h"
#include "parser_test_util.h"

namespace engine::parser_test {
namespace {

// ---- SELECT --------------------------------------------------------------------------------------

TEST(ParserSelect, SelectListForms) {
  auto batch = ParseOk("SELECT *, t.*, dbo.t.*, a AS x, b y, z = c + 1, d 'quoted alias', 'v' = 2, e AS [w w] FROM t");
  const auto& items = One(batch).get<ast::SelectStmt>()->items;
  ASSERT_EQ(items.size(), 9u);
  EXPECT_EQ(Render(*items[0].expr), "*");
  EXPECT_EQ(Render(*items[1].expr), "t.*");
  EXPECT_EQ(Render(*items[2].expr), "dbo.t.*");
  EXPECT_FALSE(items[0].has_alias);
  const char* const aliases[] = {"x", "y", "z", "quoted alias", "v", "w w"};
  for (size_t i = 3; i < 9; ++i) {
    EXPECT_TRUE(items[i].has_alias);
    EXPECT_EQ(items[i].alias, aliases[i - 3]);
  }
  EXPECT_EQ(Render(*items[5].expr), "(+ c 1)");
}

TEST(ParserSelect, Clauses) {
  auto batch = ParseOk(
      "SELECT DISTINCT TOP 10 a, COUNT(*) FROM t WHERE b > 1 GROUP BY a, c HAVING COUNT(*) > 1 ORDER BY a DESC, 2");
  const ast::SelectStmt& s = *One(batch).get<ast::SelectStmt>();
  EXPECT_TRUE(s.distinct);
  EXPECT_EQ(Render(*s.top), "10");
  EXPECT_FALSE(s.top_percent);
  EXPECT_EQ(Render(*s.where), "(> b 1)");
  ASSERT_EQ(s.group_by.size(), 2u);
  EXPECT_EQ(Render(*s.having), "(> COUNT( *) 1)");
  ASSERT_EQ(s.order_by.size(), 2u);
  EXPECT_TRUE(s.order_by[0].desc);
  EXPECT_FALSE(s.order_by[1].desc);
  EXPECT_EQ(Render(*s.order_by[1].expr), "2");

  batch = ParseOk("SELECT TOP (5) PERCENT * FROM t");
  EXPECT_TRUE(One(batch).get<ast::SelectStmt>()->top_percent);
  batch = ParseOk("SELECT GETDATE()");
  EXPECT_TRUE(One(batch).get<ast::SelectStmt>()->from.empty());
}

TEST(ParserSelect, Joins) {
  auto from = [](std::string_view text) {
    ast::Batch batch = ParseOk("SELECT * FROM " + std::string(text));
    std::string out;
    for (const auto& ref : batch.statements.at(0)->get<ast::SelectStmt>()->from)
      out += (out.empty() ? "" : ", ") + RenderRef(*ref);
    return out;
  };
  EXPECT_EQ(from("Adresse AS A INNER JOIN B ON A.k = B.k LEFT OUTER JOIN C c ON c.x = A.x"),
            "[[Adresse A INNER B ON (= A.k B.k)] LEFT C c ON (= c.x A.x)]");
  EXPECT_EQ(from("a RIGHT JOIN b ON 1 = 1 FULL JOIN c ON 2 = 2 CROSS JOIN d"),
            "[[[a RIGHT b ON (= 1 1)] FULL c ON (= 2 2)] CROSS d]");
  EXPECT_EQ(from("a, b x, c"), "a, b x, c");
  EXPECT_EQ(from("a JOIN b JOIN c ON b.k = c.k ON a.k = b.k"), "[a INNER [b INNER c ON (= b.k c.k)] ON (= a.k b.k)]");
  EXPECT_EQ(from("(a JOIN b ON a.k = b.k)"), "[a INNER b ON (= a.k b.k)]");
  EXPECT_EQ(from("t WITH (NOLOCK) WHERE 1 = 1"), "t");
  EXPECT_EQ(from("master.dbo.sysdatabases"), "master.dbo.sysdatabases");
  EXPECT_EQ(from("db..t"), "db..t");
}

TEST(ParserSelect, DerivedTables) {
  auto batch = ParseOk("SELECT d.n FROM (SELECT COUNT(*) AS n FROM t) AS d");
  const ast::TableRef& ref = *One(batch).get<ast::SelectStmt>()->from[0];
  EXPECT_EQ(ref.kind, ast::TableRef::Kind::kDerived);
  EXPECT_EQ(ref.alias, "d");
  ASSERT_TRUE(ref.derived);
  EXPECT_EQ(ref.derived->items[0].alias, "n");
  EXPECT_EQ(ErrorOf("SELECT * FROM (SELECT 1 a)"), "Msg 102: Incorrect syntax near ')'.");
}

TEST(ParserSelect, UnionChainsAndOrderBy) {
  auto batch = ParseOk("SELECT a FROM t UNION SELECT b FROM u UNION ALL SELECT c FROM v ORDER BY 1");
  const ast::SelectStmt& s = *One(batch).get<ast::SelectStmt>();
  ASSERT_TRUE(s.union_next);
  EXPECT_FALSE(s.union_all);
  ASSERT_TRUE(s.union_next->union_next);
  EXPECT_TRUE(s.union_next->union_all);
  EXPECT_EQ(s.order_by.size(), 1u);  // on the first SELECT of the chain
  EXPECT_TRUE(s.union_next->union_next->order_by.empty());
}

TEST(ParserSelect, SelectInto) {
  auto batch = ParseOk("SELECT a, b INTO dbo.Copy FROM t WHERE 1 = 0");
  EXPECT_EQ(One(batch).get<ast::SelectStmt>()->into.name, "Copy");
  EXPECT_EQ(One(batch).get<ast::SelectStmt>()->into.schema, "dbo");
  batch = ParseOk("SELECT a FROM t");
  EXPECT_TRUE(One(batch).get<ast::SelectStmt>()->into.name.empty());
  EXPECT_EQ(ErrorOf("SELECT a FROM t UNION SELECT b INTO x FROM u"),
            "Msg 156: Incorrect syntax near the keyword 'INTO'.");
}

TEST(ParserSelect, UpgraderQueries) {
  auto batch = ParseOk(
      "SELECT name FROM master.dbo.sysdatabases where UPPER(name) LIKE 'ZENTIX%' AND "
      "UPPER(SUBSTRING(name,7,3))<>'TMP'");
  EXPECT_EQ(Render(*One(batch).get<ast::SelectStmt>()->where),
            "(AND (LIKE UPPER( name) 'ZENTIX%') (<> UPPER( SUBSTRING( name 7 3)) 'TMP'))");
  batch = ParseOk("SELECT COUNT(*)+1 AS MaxBr FROM AdrSepa WHERE AdrNr=5");
  EXPECT_EQ(One(batch).get<ast::SelectStmt>()->items[0].alias, "MaxBr");
  batch = ParseOk("SELECT * FROM SysIndexes WHERE Name='iSuchText'");
  EXPECT_EQ(One(batch).get<ast::SelectStmt>()->from[0]->table.name, "SysIndexes");
  batch = ParseOk("SELECT * FROM Information_Schema.Columns");
  EXPECT_EQ(One(batch).get<ast::SelectStmt>()->from[0]->table.schema, "Information_Schema");
}

// ---- INSERT / UPDATE / DELETE --------------------------------------------------------------------

TEST(ParserDml, InsertValues) {
  auto batch = ParseOk("INSERT INTO GuVKennz (RimNr, Kennz, Bezeichnung)\nVALUES ('I','A','Einnahmen'), ('I','B',-1)");
  const ast::InsertStmt& ins = *One(batch).get<ast::InsertStmt>();
  EXPECT_EQ(ins.table.name, "GuVKennz");
  EXPECT_EQ(ins.columns, (std::vector<std::string>{"RimNr", "Kennz", "Bezeichnung"}));
  ASSERT_EQ(ins.values.size(), 2u);
  EXPECT_EQ(Render(*ins.values[1][2]), "(- 1)");
  batch = ParseOk("INSERT t VALUES (NULL)");
  EXPECT_TRUE(One(batch).get<ast::InsertStmt>()->columns.empty());
  batch = ParseOk("INSERT INTO [dbo].[t] DEFAULT VALUES");
  EXPECT_TRUE(One(batch).get<ast::InsertStmt>()->default_values);
}

TEST(ParserDml, InsertSelect) {
  auto batch = ParseOk("INSERT INTO t (a,b) SELECT x = 1, y = z FROM u");
  const ast::InsertStmt& ins = *One(batch).get<ast::InsertStmt>();
  ASSERT_TRUE(ins.select);
  EXPECT_EQ(ins.select->items[0].alias, "x");
  EXPECT_EQ(ins.select->items[1].alias, "y");
  EXPECT_EQ(Render(*ins.select->items[1].expr), "z");
  batch = ParseOk(
      "INSERT INTO AdrFunktion (AdrNr, Funktion, Nr)\nSELECT AdrNr, Funktion, 1 FROM Adresse WHERE "
      "(Funktion IS NOT NULL OR Funktion<>'')");
  EXPECT_EQ(Render(*One(batch).get<ast::InsertStmt>()->select->where), "(OR (IS NOT NULL Funktion) (<> Funktion ''))");
}

TEST(ParserDml, Update) {
  auto batch = ParseOk("UPDATE A SET A.x = B.y, z = NULL FROM Adresse A LEFT JOIN B ON A.k = B.k WHERE A.n > 0");
  const ast::UpdateStmt& u = *One(batch).get<ast::UpdateStmt>();
  EXPECT_EQ(u.target.name, "A");
  ASSERT_EQ(u.sets.size(), 2u);
  EXPECT_EQ(u.sets[0].column, (std::vector<std::string>{"A", "x"}));
  EXPECT_EQ(Render(*u.sets[0].value), "B.y");
  EXPECT_EQ(u.sets[1].value->kind, ExprKind::kLiteral);
  EXPECT_TRUE(u.sets[1].value->literal.is_null());
  ASSERT_EQ(u.from.size(), 1u);
  EXPECT_EQ(RenderRef(*u.from[0]), "[Adresse A LEFT B ON (= A.k B.k)]");
  EXPECT_EQ(Render(*u.where), "(> A.n 0)");

  batch = ParseOk("UPDATE TOP (10) t SET a = 1");
  EXPECT_EQ(Render(*One(batch).get<ast::UpdateStmt>()->top), "10");
  batch = ParseOk(
      "UPDATE d_blz SET BIC= (select TOP 1 BIC from d_blz B where B.BLZ=d_blz.BLZ AND ISNULL(bic,'')<>'')  "
      "where bic IS NULL");
  EXPECT_EQ(Render(*One(batch).get<ast::UpdateStmt>()->sets[0].value), "(SUBQUERY)");
  batch = ParseOk("UPDATE DSAFachverband SET Bezeichnung=REPLACE(Bezeichnung,'\r\n',' ')");
  EXPECT_EQ(One(batch).get<ast::UpdateStmt>()->sets[0].value->args[1]->literal.as_string(), "\r\n");
}

TEST(ParserDml, Delete) {
  auto batch = ParseOk("DELETE FROM  dbo.GuVKennz");
  EXPECT_EQ(One(batch).get<ast::DeleteStmt>()->target.written, "dbo.GuVKennz");
  batch = ParseOk("DELETE t WHERE a = 1");
  EXPECT_EQ(Render(*One(batch).get<ast::DeleteStmt>()->where), "(= a 1)");
  batch = ParseOk("DELETE TOP (1) x FROM t x JOIN u ON u.k = x.k WHERE u.z = 0");
  const ast::DeleteStmt& d = *One(batch).get<ast::DeleteStmt>();
  EXPECT_EQ(d.target.name, "x");
  EXPECT_EQ(RenderRef(*d.from[0]), "[t x INNER u ON (= u.k x.k)]");
  batch = ParseOk("TRUNCATE TABLE dbo.t");
  EXPECT_EQ(One(batch).get<ast::TruncateStmt>()->table.name, "t");
}

// ---- DDL -----------------------------------------------------------------------------------------

TEST(ParserDdl, CreateTableColumns) {
  auto batch = ParseOk(
      "CREATE TABLE dbo.F5kennzD (\nBILANZ_GUV varchar (6) NOT NULL,\n[ABHABEN] [numeric](19, 8) NULL,\n"
      "[LfdNr] [int] IDENTITY(1,1) NOT NULL,\nId int identity (10, -2),\nT text,\nM nvarchar(max) NOT NULL "
      "DEFAULT ('N'),\nD datetime CONSTRAINT DF_D DEFAULT getdate(), Z int DEFAULT (0), F float(53))");
  const ast::CreateTableStmt& t = *One(batch).get<ast::CreateTableStmt>();
  EXPECT_EQ(t.name.schema, "dbo");
  ASSERT_EQ(t.columns.size(), 9u);
  EXPECT_EQ(t.columns[0].name, "BILANZ_GUV");
  EXPECT_EQ(RenderType(t.columns[0].type), "varchar(6)");
  EXPECT_EQ(t.columns[0].nullable, false);
  EXPECT_EQ(RenderType(t.columns[1].type), "numeric(19,8)");
  EXPECT_EQ(t.columns[1].nullable, true);
  EXPECT_TRUE(t.columns[2].identity);
  EXPECT_EQ(t.columns[3].identity_seed, 10);
  EXPECT_EQ(t.columns[3].identity_increment, -2);
  EXPECT_FALSE(t.columns[3].nullable.has_value());
  EXPECT_EQ(t.columns[4].type.length, -2);
  EXPECT_EQ(t.columns[5].type.length, -1);
  ASSERT_EQ(t.columns[5].constraints.size(), 1u);
  const ast::ConstraintDef& def = t.columns[5].constraints[0];
  EXPECT_EQ(def.kind, ast::ConstraintDef::Kind::kDefault);
  EXPECT_EQ(def.source_text, "('N')");
  EXPECT_EQ(Render(*def.expr), "'N'");
  EXPECT_EQ(t.columns[6].constraints[0].name, "DF_D");
  EXPECT_EQ(t.columns[6].constraints[0].source_text, "getdate()");
  EXPECT_EQ(t.columns[7].constraints[0].source_text, "(0)");
  EXPECT_EQ(t.columns[8].type.precision, 53);
}

TEST(ParserDdl, CreateTableConstraints) {
  auto batch = ParseOk(
      "CREATE TABLE [dbo].[F5KontMonosportverein](\n[BUCHJAHR] [smallint] NOT NULL,\n[KONTONR] [int] NOT NULL,\n"
      "[Ref] int NULL REFERENCES Other (Id) ON DELETE CASCADE,\n[U] int UNIQUE NONCLUSTERED,\n"
      "[C] int CHECK (C > 0),\n"
      "CONSTRAINT [PK_F5KontMonosportverein] PRIMARY KEY CLUSTERED \n([BUCHJAHR] ASC,\n[KONTONR] DESC\n)"
      "WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS = ON, "
      "ALLOW_PAGE_LOCKS = ON, FILLFACTOR = 90) ON [PRIMARY],\n"
      "CONSTRAINT FK_x FOREIGN KEY (KONTONR, BUCHJAHR) REFERENCES dbo.Konten (Nr, Jahr) ON UPDATE SET NULL "
      "ON DELETE NO ACTION,\nUNIQUE (U) WITH FILLFACTOR = 80,\nCHECK (BUCHJAHR BETWEEN 1900 AND 2100)\n"
      ") ON [PRIMARY] TEXTIMAGE_ON [PRIMARY]");
  const ast::CreateTableStmt& t = *One(batch).get<ast::CreateTableStmt>();
  ASSERT_EQ(t.columns.size(), 5u);
  const ast::ConstraintDef& ref = t.columns[2].constraints.at(0);
  EXPECT_EQ(ref.kind, ast::ConstraintDef::Kind::kForeignKey);
  EXPECT_TRUE(ref.columns.empty());
  EXPECT_EQ(ref.ref_table.name, "Other");
  EXPECT_EQ(ref.ref_columns, std::vector<std::string>{"Id"});
  EXPECT_EQ(ref.on_delete, ast::RefAction::kCascade);
  EXPECT_EQ(t.columns[3].constraints.at(0).clustered, false);
  EXPECT_EQ(t.columns[4].constraints.at(0).source_text, "C > 0");

  ASSERT_EQ(t.constraints.size(), 4u);
  const ast::ConstraintDef& pk = t.constraints[0];
  EXPECT_EQ(pk.kind, ast::ConstraintDef::Kind::kPrimaryKey);
  EXPECT_EQ(pk.name, "PK_F5KontMonosportverein");
  EXPECT_EQ(pk.clustered, true);
  ASSERT_EQ(pk.columns.size(), 2u);
  EXPECT_EQ(pk.columns[0].name, "BUCHJAHR");
  EXPECT_FALSE(pk.columns[0].desc);
  EXPECT_TRUE(pk.columns[1].desc);
  const ast::ConstraintDef& fk = t.constraints[1];
  EXPECT_EQ(fk.columns.size(), 2u);
  EXPECT_EQ(fk.ref_table.written, "dbo.Konten");
  EXPECT_EQ(fk.on_update, ast::RefAction::kSetNull);
  EXPECT_EQ(fk.on_delete, ast::RefAction::kNoAction);
  EXPECT_EQ(t.constraints[2].kind, ast::ConstraintDef::Kind::kUnique);
  EXPECT_FALSE(t.constraints[2].name.size());
  EXPECT_EQ(Render(*t.constraints[3].expr), "(BETWEEN BUCHJAHR 1900 2100)");
}

TEST(ParserDdl, AlterTableAddColumn) {
  auto column = [](std::string_view text) {
    ast::Batch batch = ParseOk(text);
    ast::AlterTableStmt& alter = *batch.statements.at(0)->get<ast::AlterTableStmt>();
    EXPECT_EQ(alter.action, ast::AlterTableStmt::Action::kAdd);
    return std::move(alter.add_columns.at(0));
  };
  ast::ColumnDef c = column("ALTER TABLE dbo.Adresse ADD IBAN1  varchar (40) Null");
  EXPECT_EQ(c.name, "IBAN1");
  EXPECT_EQ(RenderType(c.type), "varchar(40)");
  EXPECT_EQ(c.nullable, true);
  c = column("ALTER TABLE dbo.Mandstam ADD VereinUebUntgliedAbt  smallint  Null");
  EXPECT_EQ(c.type.name, "smallint");
  c = column("ALTER TABLE dbo.F5BEW4 ADD LfdNr  INT IDENTITY (1,1) NOT NULL");
  EXPECT_TRUE(c.identity);
  EXPECT_EQ(c.nullable, false);
  c = column("ALTER TABLE dbo.F5BEW4 ADD LfdNr  int identity (1,1) NOT NULL");
  EXPECT_TRUE(c.identity);
  c = column("ALTER TABLE dbo.Mitglied ADD [Eintritt ]  datetime  NULL");
  EXPECT_EQ(c.name, "Eintritt ");
  c = column("ALTER TABLE dbo.x ADD GueltigAb  datetime   Null");
  EXPECT_EQ(c.type.length, -2);

  ast::Batch batch = ParseOk(
      "ALTER TABLE t ADD a int NULL, b char(1) NOT NULL DEFAULT 'N', CONSTRAINT DF_c DEFAULT "
      "(0) FOR c");
  const ast::AlterTableStmt& alter = *One(batch).get<ast::AlterTableStmt>();
  EXPECT_EQ(alter.add_columns.size(), 2u);
  ASSERT_EQ(alter.add_constraints.size(), 1u);
  EXPECT_EQ(alter.add_constraints[0].for_column, "c");
  EXPECT_EQ(alter.add_constraints[0].name, "DF_c");
}

TEST(ParserDdl, AlterTableAddConstraint) {
  auto batch = ParseOk(
      "ALTER TABLE [dbo].[F5DAT] WITH NOCHECK ADD  CONSTRAINT [PK_F5DAT] PRIMARY KEY  CLUSTERED "
      "([STEUERSCHL],[LFDNR])  ON [PRIMARY] ");
  const ast::AlterTableStmt& pk = *One(batch).get<ast::AlterTableStmt>();
  EXPECT_EQ(pk.table.written, "dbo.F5DAT");
  EXPECT_EQ(pk.with_check, false);
  ASSERT_EQ(pk.add_constraints.size(), 1u);
  EXPECT_EQ(pk.add_constraints[0].columns.size(), 2u);
  EXPECT_EQ(pk.add_constraints[0].clustered, true);

  batch = ParseOk(
      "ALTER TABLE [dbo].[AdrFunktion]  WITH CHECK ADD  CONSTRAINT [FK_AdrFunktion_Adresse] FOREIGN KEY([AdrNr])\r\n"
      "REFERENCES [dbo].[Adresse] ([AdrNr]) ON UPDATE CASCADE ON DELETE CASCADE");
  const ast::AlterTableStmt& fk = *One(batch).get<ast::AlterTableStmt>();
  EXPECT_EQ(fk.with_check, true);
  const ast::ConstraintDef& c = fk.add_constraints.at(0);
  EXPECT_EQ(c.kind, ast::ConstraintDef::Kind::kForeignKey);
  EXPECT_EQ(c.name, "FK_AdrFunktion_Adresse");
  EXPECT_EQ(c.columns.at(0).name, "AdrNr");
  EXPECT_EQ(c.ref_table.written, "dbo.Adresse");
  EXPECT_EQ(c.on_update, ast::RefAction::kCascade);
  EXPECT_EQ(c.on_delete, ast::RefAction::kCascade);

  batch = ParseOk(
      "ALTER TABLE [dbo].[F5KontMonosportverein]  ADD CONSTRAINT [PK_F5KontMonosportverein] PRIMARY KEY CLUSTERED (\n"
      "[BUCHJAHR] ASC,\n[KONTONR] ASC\n)WITH (IGNORE_DUP_KEY = OFF) ON [PRIMARY]");
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->add_constraints.at(0).columns.size(), 2u);
  batch = ParseOk("ALTER TABLE t ADD CONSTRAINT CK_x CHECK (a IN ('J','N'))");
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->add_constraints.at(0).source_text, "a IN ('J','N')");
}

TEST(ParserDdl, AlterTableOtherActions) {
  using Action = ast::AlterTableStmt::Action;
  auto batch = ParseOk("ALTER TABLE dbo.AdrFunktion\r\n DROP CONSTRAINT FK_AdrFunktion_Adresse\r\n");
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->action, Action::kDropConstraint);
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->names, std::vector<std::string>{"FK_AdrFunktion_Adresse"});
  batch = ParseOk("ALTER TABLE t DROP a, CONSTRAINT b");
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->names, (std::vector<std::string>{"a", "b"}));
  batch = ParseOk("ALTER TABLE t DROP COLUMN a, b");
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->action, Action::kDropColumn);
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->names.size(), 2u);

  batch = ParseOk("ALTER TABLE dbo.mandstam ALTER COLUMN GlaeubigerId varchar(35) Null");
  const ast::AlterTableStmt& alter = *One(batch).get<ast::AlterTableStmt>();
  EXPECT_EQ(alter.action, Action::kAlterColumn);
  EXPECT_EQ(alter.alter_column.name, "GlaeubigerId");
  EXPECT_EQ(RenderType(alter.alter_column.type), "varchar(35)");
  EXPECT_EQ(alter.alter_column.nullable, true);

  batch = ParseOk("ALTER TABLE t WITH CHECK CHECK CONSTRAINT FK_a");
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->action, Action::kCheckConstraint);
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->with_check, true);
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->names, std::vector<std::string>{"FK_a"});
  batch = ParseOk("ALTER TABLE t NOCHECK CONSTRAINT ALL");
  EXPECT_EQ(One(batch).get<ast::AlterTableStmt>()->action, Action::kNoCheckConstraint);
  EXPECT_TRUE(One(batch).get<ast::AlterTableStmt>()->names.empty());
}

TEST(ParserDdl, Indexes) {
  auto batch = ParseOk("CREATE NONCLUSTERED INDEX iSuchText ON F5BEW4 (BUCHJAHR, InterneNr DESC, SUCHTEXT)");
  const ast::CreateIndexStmt& ix = *One(batch).get<ast::CreateIndexStmt>();
  EXPECT_EQ(ix.name, "iSuchText");
  EXPECT_EQ(ix.table.name, "F5BEW4");
  EXPECT_EQ(ix.clustered, false);
  EXPECT_FALSE(ix.unique);
  ASSERT_EQ(ix.columns.size(), 3u);
  EXPECT_TRUE(ix.columns[1].desc);
  batch = ParseOk("CREATE UNIQUE INDEX u ON dbo.t (a) WITH (FILLFACTOR = 80) ON [PRIMARY]");
  EXPECT_TRUE(One(batch).get<ast::CreateIndexStmt>()->unique);
  EXPECT_FALSE(One(batch).get<ast::CreateIndexStmt>()->clustered.has_value());

  batch = ParseOk("DROP INDEX t.ix, dbo.u.iy, iz ON v");
  const auto& targets = One(batch).get<ast::DropIndexStmt>()->targets;
  ASSERT_EQ(targets.size(), 3u);
  EXPECT_EQ(targets[0].table.name, "t");
  EXPECT_EQ(targets[0].index, "ix");
  EXPECT_EQ(targets[1].table.written, "dbo.u");
  EXPECT_EQ(targets[2].table.name, "v");
  EXPECT_EQ(targets[2].index, "iz");
  EXPECT_EQ(ErrorOf("DROP INDEX ix"),
            "Msg 159: Must specify the table name and index name for the DROP INDEX statement.");
}

TEST(ParserDdl, Views) {
  const std::string text = "CREATE VIEW dbo.v (a, b)\nAS\nSELECT x, y FROM t WHERE z = 1\n";
  auto batch = ParseOk(text);
  const ast::CreateViewStmt& v = *One(batch).get<ast::CreateViewStmt>();
  EXPECT_EQ(v.name.written, "dbo.v");
  EXPECT_EQ(v.columns, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(v.select_text, "SELECT x, y FROM t WHERE z = 1");
  EXPECT_EQ(v.definition, "CREATE VIEW dbo.v (a, b)\nAS\nSELECT x, y FROM t WHERE z = 1");
  EXPECT_EQ(ErrorOf("SELECT 1 CREATE VIEW v AS SELECT 1"),
            "Msg 111: 'CREATE VIEW' must be the first statement in a query batch.");
  EXPECT_EQ(ErrorOf("CREATE VIEW v AS SELECT 1 SELECT 2"), "Msg 156: Incorrect syntax near the keyword 'SELECT'.");
  batch = ParseOk("DROP VIEW IF EXISTS v, w");
  EXPECT_EQ(One(batch).kind(), StmtKind::kDropView);
  EXPECT_TRUE(One(batch).get<ast::DropViewStmt>()->if_exists);
  EXPECT_EQ(One(batch).get<ast::DropViewStmt>()->names.size(), 2u);
}

TEST(ParserDdl, DropTableAndDatabases) {
  auto batch = ParseOk("DROP TABLE a, dbo.b");
  EXPECT_EQ(One(batch).kind(), StmtKind::kDropTable);
  EXPECT_FALSE(One(batch).get<ast::DropTableStmt>()->if_exists);
  EXPECT_EQ(One(batch).get<ast::DropTableStmt>()->names[1].written, "dbo.b");
  batch = ParseOk("CREATE DATABASE [ZENTIX01] DROP DATABASE Old USE ZENTIX01");
  ASSERT_EQ(batch.statements.size(), 3u);
  EXPECT_EQ(batch.statements[0]->kind(), StmtKind::kCreateDatabase);
  EXPECT_EQ(batch.statements[0]->get<ast::CreateDatabaseStmt>()->name, "ZENTIX01");
  EXPECT_EQ(batch.statements[1]->kind(), StmtKind::kDropDatabase);
  EXPECT_EQ(batch.statements[2]->kind(), StmtKind::kUse);
}

// ---- Control flow, SET, transactions -------------------------------------------------------------

TEST(ParserControl, IfExistsDrop) {
  auto batch =
      ParseOk("IF EXISTS (SELECT TABLE_NAME FROM INFORMATION_SCHEMA.TABLES WHERE TABLE_NAME ='X') DROP TABLE X");
  const ast::Stmt& s = One(batch);
  EXPECT_EQ(s.kind(), StmtKind::kIf);
  EXPECT_EQ(Render(*s.get<ast::IfStmt>()->condition), "(EXISTS)");
  EXPECT_EQ(s.get<ast::IfStmt>()->then_branch->kind(), StmtKind::kDropTable);
  EXPECT_EQ(s.get<ast::IfStmt>()->then_branch->text, "DROP TABLE X");
  EXPECT_FALSE(s.get<ast::IfStmt>()->else_branch);
}

TEST(ParserControl, IfElseAndBlocks) {
  auto batch = ParseOk(
      "IF NOT EXISTS (SELECT * FROM sysobjects WHERE name='t')\nBEGIN\n CREATE TABLE t (a int)\n INSERT INTO t "
      "VALUES (1)\nEND\nELSE\n PRINT 'exists'\nSELECT 1");
  ASSERT_EQ(batch.statements.size(), 2u);
  const ast::IfStmt& s = *batch.statements[0]->get<ast::IfStmt>();
  EXPECT_EQ(Render(*s.condition), "(NOT EXISTS)");
  ASSERT_EQ(s.then_branch->kind(), StmtKind::kBlock);
  EXPECT_EQ(s.then_branch->get<ast::BlockStmt>()->statements.size(), 2u);
  EXPECT_EQ(s.then_branch->get<ast::BlockStmt>()->statements[1]->line, 4);
  ASSERT_TRUE(s.else_branch);
  EXPECT_EQ(s.else_branch->kind(), StmtKind::kPrint);
  EXPECT_EQ(Render(*s.else_branch->get<ast::PrintStmt>()->expr), "'exists'");
  EXPECT_EQ(ErrorOf("IF 1 = 1"), "Msg 102: Incorrect syntax near '1'.");
  EXPECT_EQ(ErrorOf("BEGIN SELECT 1"), "Msg 102: Incorrect syntax near '1'.");
}

TEST(ParserControl, Transactions) {
  auto batch = ParseOk(
      "BEGIN TRAN BEGIN TRANSACTION t1 COMMIT COMMIT TRAN COMMIT TRANSACTION t1 COMMIT WORK ROLLBACK "
      "ROLLBACK TRAN");
  std::vector<StmtKind> kinds;
  for (const auto& s : batch.statements) kinds.push_back(s->kind());
  EXPECT_EQ(kinds, (std::vector<StmtKind>{StmtKind::kBeginTransaction, StmtKind::kBeginTransaction, StmtKind::kCommit,
                                          StmtKind::kCommit, StmtKind::kCommit, StmtKind::kCommit, StmtKind::kRollback,
                                          StmtKind::kRollback}));
}

TEST(ParserControl, SetOptions) {
  auto set = [](std::string_view text) {
    ast::Batch batch = ParseOk(text);
    const ast::SetStmt& s = *batch.statements.at(0)->get<ast::SetStmt>();
    return s.option + "=" + s.value + (s.table.name.empty() ? "" : " " + s.table.written);
  };
  EXPECT_EQ(set("SET NOCOUNT ON"), "NOCOUNT=ON");
  EXPECT_EQ(set("set ansi_warnings off"), "ANSI_WARNINGS=OFF");
  EXPECT_EQ(set("SET XACT_ABORT ON"), "XACT_ABORT=ON");
  EXPECT_EQ(set("SET IDENTITY_INSERT dbo.t ON"), "IDENTITY_INSERT=ON dbo.t");
  EXPECT_EQ(set("SET DATEFORMAT dmy"), "DATEFORMAT=DMY");
  EXPECT_EQ(set("SET LANGUAGE Deutsch"), "LANGUAGE=DEUTSCH");
  EXPECT_EQ(set("SET DATEFIRST 1"), "DATEFIRST=1");
  EXPECT_EQ(set("SET LOCK_TIMEOUT -1"), "LOCK_TIMEOUT=-1");
  EXPECT_EQ(set("SET TRANSACTION ISOLATION LEVEL READ COMMITTED"), "TRANSACTION ISOLATION LEVEL=READ COMMITTED");

  auto batch = ParseOk("SET ANSI_NULLS, QUOTED_IDENTIFIER ON");
  ASSERT_EQ(One(batch).kind(), StmtKind::kBlock);
  ASSERT_EQ(One(batch).get<ast::BlockStmt>()->statements.size(), 2u);
  EXPECT_EQ(One(batch).get<ast::BlockStmt>()->statements[1]->get<ast::SetStmt>()->option, "QUOTED_IDENTIFIER");
  EXPECT_EQ(One(batch).get<ast::BlockStmt>()->statements[1]->get<ast::SetStmt>()->value, "ON");
  EXPECT_EQ(ErrorOf("SET NOCOUNT"), "Msg 102: Incorrect syntax near 'NOCOUNT'.");
  EXPECT_EQ(ErrorOf("SET FOO ON"), "Msg 102: Incorrect syntax near 'FOO'.");
}

// ---- Robustness ----------------------------------------------------------------------------------

TEST(ParserRobustness, DeepNestingIsRefused) {
  const std::string parens = "SELECT " + std::string(5000, '(') + "1" + std::string(5000, ')');
  EXPECT_EQ(ErrorOf(parens).substr(0, 8), "Msg 191:");
  std::string ifs;
  for (int i = 0; i < 5000; ++i) ifs += "IF 1=1 ";
  EXPECT_EQ(ErrorOf(ifs + "SELECT 1").substr(0, 8), "Msg 191:");
  std::string nots = "SELECT 1 WHERE ";
  for (int i = 0; i < 5000; ++i) nots += "NOT ";
  EXPECT_EQ(ErrorOf(nots + "1=1").substr(0, 8), "Msg 191:");
  std::string minus = "SELECT ";
  for (int i = 0; i < 5000; ++i) minus += "- ";
  EXPECT_EQ(ErrorOf(minus + "1").substr(0, 8), "Msg 191:");
  EXPECT_EQ(ErrorOf(std::string(5000, '(')).substr(0, 4), "Msg ");
}

TEST(ParserRobustness, LongChainsStayBounded) {
  std::string sum = "SELECT 1";
  for (int i = 0; i < 1000; ++i) sum += "+1";
  EXPECT_EQ(ErrorOf(sum), "ok");
  for (int i = 0; i < 10000; ++i) sum += "+1";
  EXPECT_EQ(ErrorOf(sum).substr(0, 8), "Msg 191:");
  std::string unions = "SELECT 1";
  for (int i = 0; i < 10000; ++i) unions += " UNION SELECT 1";
  EXPECT_EQ(ErrorOf(unions).substr(0, 8), "Msg 191:");
  std::string rows = "INSERT INTO t VALUES (1)";
  for (int i = 0; i < 1000; ++i) rows += ",(1)";
  EXPECT_EQ(ErrorOf(rows).substr(0, 10), "Msg 10738:");
  std::string many;
  for (int i = 0; i < 5000; ++i) many += "UPDATE t SET a = -1 WHERE b = 'x' + 'y'\n";
  EXPECT_EQ(ParseOk(many).statements.size(), 5000u);
}

TEST(ParserRobustness, ArbitraryBytes) {
  const std::string samples[] = {std::string("SELECT \xff\xfe\x80 FROM t"),
                                 std::string("\0\0\0", 3),
                                 "SELECT N'\xc3",
                                 "[",
                                 "\"",
                                 "'",
                                 "N",
                                 "/*",
                                 "*/",
                                 "--",
                                 "SELECT 1e",
                                 "SELECT 1e+",
                                 "SELECT .",
                                 "SELECT 1.",
                                 "?",
                                 "??",
                                 "SELECT ?.?",
                                 "a.b.c.d.e.f",
                                 "CREATE TABLE",
                                 "ALTER TABLE t ADD",
                                 "SELECT * FROM (",
                                 "SELECT CASE WHEN",
                                 "INSERT INTO t VALUES (",
                                 "SELECT CAST(1 AS",
                                 "DROP INDEX",
                                 "SET",
                                 "IF",
                                 "BEGIN",
                                 "SELECT TOP",
                                 "SELECT 1 UNION"};
  for (const std::string& text : samples) {
    try {
      Parse(text);
    } catch (const SqlError& e) {
      EXPECT_EQ(e.scope(), ErrorScope::kCompile) << text;
    }
  }
}

}  // namespace
}  // namespace engine::parser_test
