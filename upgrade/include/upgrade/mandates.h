// The SEPA mandate records of direct-debit payers: pMandatErstellen gives every member who is due for one (not
// left, paying by direct debit, no alternative account holder, a mandate reference, no AdrSepa row yet) one row
// in AdrSepa, with the reference as mandate number and a key of address number, member number and ordinal.
//
// Three datasets on the client connection do the work, each under its name: tbl1, the members due, read as a
// snapshot when it is opened, so the rows inserted while it is walked do not change it; AdrSepaH, the mandate
// rows of one member, through which the new row is appended and posted (one INSERT each, outside any
// transaction); qryCAdrSepa, the count behind the key's ordinal.
//
// Failures are not handled here: a db::Error of any query or of a post leaves pMandatErstellen as it is, and
// the rows posted before it stay. The connection must outlive the object.
#ifndef CLUBIQA_UPGRADE_MANDATES_H_
#define CLUBIQA_UPGRADE_MANDATES_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "db/connection.h"
#include "db/dataset.h"
#include "db/query.h"
#include "db/value.h"

namespace upgrade {

// A day of the calendar; what a mandate writes as its dates (at 00:00).
struct CalendarDay {
  int year = 1900;
  int month = 1;
  int day = 1;
  bool operator==(const CalendarDay&) const = default;
};

// Where "today" comes from, so that tests can fix it.
using Today = std::function<CalendarDay()>;

// The local date of this machine.
CalendarDay LocalToday();

// `day` at 00:00 as a datetime value.
db::Value DateValue(CalendarDay day);

// The member query of tbl1: three lines joined by CR LF, blanks as the application has them.
std::string MembersDueText();

class Mandates {
 public:
  Mandates(db::Connection& connection, Today today);
  Mandates(const Mandates&) = delete;
  Mandates& operator=(const Mandates&) = delete;

  // One mandate record for every member that tbl1 finds due.
  void pMandatErstellen();
  // The record of the member at the current row of tbl1, appended through AdrSepaH and posted.
  void fAdrSepaGen();
  // Leaves the key of the member's next mandate in SepaMandKey().
  void CalcSepaMandatsNr(int32_t adr_nr, std::string_view mitgl_nr);

  [[nodiscard]] const std::string& SepaMandKey() const { return sepa_mand_key_; }

  // The mandate rows of one member (a query on its address number) and the appending of a new one.
  struct AdrSepaRows {
    explicit AdrSepaRows(db::Connection& connection);
    db::Query rows;
    db::Dataset append;
  };

 private:
  Today today_;
  db::Query tbl1_;
  AdrSepaRows adr_sepa_h_;
  db::Query qry_c_adr_sepa_;
  std::string sepa_mand_key_;
};

}  // namespace upgrade

#endif  // CLUBIQA_UPGRADE_MANDATES_H_
