// The mandate records of direct-debit payers (see upgrade/mandates.h).
#include "upgrade/mandates.h"

#include <chrono>
#include <ctime>
#include <utility>

namespace upgrade {
namespace {

// Blanks and control characters (codes 0 to 32) off both ends, as the key's parts are trimmed.
std::string_view Trimmed(std::string_view text) {
  auto is_space = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  return text;
}

// The application's dataset takes the address number as the parameter :pAdrNr; the database layer binds `?`.
constexpr std::string_view kAdrSepaHText = "SELECT * FROM AdrSepa \r\nWHERE AdrNr=?";

}  // namespace

CalendarDay LocalToday() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

db::Value DateValue(CalendarDay day) {
  using std::chrono::days;
  using std::chrono::sys_days;
  using std::chrono::year;
  using std::chrono::year_month_day;
  const sys_days date = year_month_day(year(day.year), std::chrono::month(day.month), std::chrono::day(day.day));
  const sys_days base = year_month_day(year(1900), std::chrono::January, std::chrono::day(1));
  const int64_t since_base = (date - base).count();
  return db::Value::Date(db::DateTime{since_base * 86'400'000});
}

std::string MembersDueText() {
  return "SELECT A.AdrNr, A.MITGLNR, A.mandatsrefenz,1,A.IBAN1, A.BIC1 FROM Adresse AS A WHERE A.Austritt IS NULL "
         "AND A.Zahlungsart='L'            \r\n"
         "AND ISNULL(AbwKtoInhCB,'')<>'J'  AND ISNULL(A.mandatsrefenz,'')<>'' \r\n"
         "AND A.AdrNr NOT IN (SELECT DISTINCT H.AdrNr FROM AdrSepa AS H WHERE H.AdrNr=A.AdrNr)";
}

Mandates::AdrSepaRows::AdrSepaRows(db::Connection& connection) : rows(connection), append(connection, "AdrSepa") {
  rows.set_text(std::string(kAdrSepaHText));
}

Mandates::Mandates(db::Connection& connection, Today today)
    : today_(std::move(today)), tbl1_(connection), adr_sepa_h_(connection), qry_c_adr_sepa_(connection) {
  tbl1_.set_text(MembersDueText());
}

void Mandates::pMandatErstellen() {
  // All rows are fetched at Open: the records posted below do not show up in the walk.
  tbl1_.Close();
  tbl1_.Open();
  tbl1_.First();
  while (!tbl1_.eof()) {
    db::Query& rows = adr_sepa_h_.rows;
    rows.Close();
    rows.set_param(tbl1_.AsInt("AdrNr"));
    rows.Open();
    if (rows.record_count() == 0) fAdrSepaGen();
    rows.Close();
    tbl1_.Next();
  }
  tbl1_.Close();
}

void Mandates::fAdrSepaGen() {
  db::Dataset& record = adr_sepa_h_.append;
  const auto adr_nr = static_cast<int32_t>(tbl1_.AsInt("AdrNr"));
  record.Append();
  record.Set("AdrNr", adr_nr);
  CalcSepaMandatsNr(adr_nr, tbl1_.AsString("MitglNr"));
  record.Set("MandatsNr", tbl1_.AsString("mandatsrefenz"));
  record.Set("MandKey", sepa_mand_key_);
  const db::Value today = DateValue(today_());
  record.Set("Lastschriftart", "Basis");
  record.Set("UnterschriftDatum", today);
  record.Set("AngelegtAm", today);
  record.Set("Status", "Aktiv");
  record.Set("Typ", "W");
  record.Set("GueltigAb", today);
  record.Post();
}

void Mandates::CalcSepaMandatsNr(int32_t adr_nr, std::string_view mitgl_nr) {
  sepa_mand_key_.clear();
  qry_c_adr_sepa_.Close();
  qry_c_adr_sepa_.set_text("SELECT COUNT(*)+1 AS MaxBr FROM AdrSepa WHERE AdrNr=" + std::to_string(adr_nr));
  qry_c_adr_sepa_.Open();
  const std::string max_br = qry_c_adr_sepa_.AsString("MaxBr");
  qry_c_adr_sepa_.Close();
  const std::string adr_nr_text = std::to_string(adr_nr);
  sepa_mand_key_ = std::string(Trimmed(adr_nr_text)) + std::string(Trimmed(mitgl_nr)) + std::string(Trimmed(max_br));
}

}  // namespace upgrade
