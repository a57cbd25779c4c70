// Stage B: chart-of-accounts and tax-key templates, indexes and conversions of the bookkeeping table.
//
// The templates are created empty and only when missing; stage C drops and re-creates all fourteen with
// their rows on every run, so here they matter only for a database that has never had them. The two updates
// run on every run and touch only postings that still lack their value.
#include <string_view>

#include "stages.h"
#include "template_tables.h"

namespace upgrade {

namespace {

using schema::FailureClass;

// A template that exists is left as it is, also when it lacks its key.
void CreateTemplateIfMissing(const Stage& stage, std::string_view table, const TemplateShape& shape) {
  stage.runner.CreateTableIfMissing(table, {TemplateCreateLines(table, shape), TemplateKeyLines(table, shape)},
                                    FailureClass::kWarning);
}

void CreateChartTemplate(const Stage& stage, std::string_view table) {
  CreateTemplateIfMissing(stage, table, ChartOfAccountsShape());
}

void CreateTaxKeyTemplate(const Stage& stage, std::string_view table) {
  CreateTemplateIfMissing(stage, table, TaxKeyShape());
}

}  // namespace

void RunStageB(const Stage& stage) {
  // B1
  CreateChartTemplate(stage, "F5KontMonosportverein");
  // B2
  stage.Progress();
  CreateChartTemplate(stage, "F5KontSportvereinOhneAnlagevermogen");
  // B3
  stage.Progress();
  CreateChartTemplate(stage, "F5KontSportvereinMitAnlagevermogen");
  // B4
  stage.Progress();
  CreateChartTemplate(stage, "F5KontMitBezahltenSport");
  // B5
  stage.Progress();
  CreateChartTemplate(stage, "F5KontKulturverein");
  // B6
  stage.Progress();
  CreateChartTemplate(stage, "F5KontKulturvereinUndSportverein");
  // B7
  stage.Progress();
  CreateChartTemplate(stage, "F5KontSonstiger");
  // B8
  stage.Progress();
  CreateTaxKeyTemplate(stage, "F5DatMonosportverein");
  // B9
  stage.Progress();
  CreateTaxKeyTemplate(stage, "F5DatSportvereinOhneAnlagevermogen");
  // B10
  stage.Progress();
  CreateTaxKeyTemplate(stage, "F5DatSportvereinMitAnlagevermogen");
  // B11
  stage.Progress();
  CreateTaxKeyTemplate(stage, "F5DatMitBezahltenSport");
  // B12
  stage.Progress();
  CreateTaxKeyTemplate(stage, "F5DatKulturverein");
  // B13: named unlike its chart-of-accounts twin F5KontKulturvereinUndSportverein.
  stage.Progress();
  CreateTaxKeyTemplate(stage, "F5DatKulturUndSportverein");
  // B14
  stage.Progress();
  CreateTaxKeyTemplate(stage, "F5DatSonstiger");
  // B15
  stage.Progress();
  stage.primitives.AddIndex("F5BEW4", "iSuchText", "BUCHJAHR", "InterneNr", "SUCHTEXT", "");
  // B16
  stage.primitives.AddIndex("F5BEW4", "iLfdNr", "LfdNr", "", "", "");
  // B17
  stage.primitives.AddIndex("F5BEW4", "iParent", "Parent", "", "", "");
  // B18: every posting without a search text, NULL or empty, goes to "HAUPT".
  stage.runner.Batch({"UPDATE F5BEW4 SET SuchText='HAUPT' WHERE ISNULL(SuchText,'')=''"}, FailureClass::kWarning);
  // B19: every posting without a parent gets -1; fails with a warning when stage A could not add Parent.
  stage.runner.Batch({"UPDATE F5BEW4 SET Parent=-1 WHERE Parent IS NULL"}, FailureClass::kWarning);
}

}  // namespace upgrade
