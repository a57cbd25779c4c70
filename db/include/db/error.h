// The one failure type of the database layer.
//
// Every provider turns its failures into db::Error, so that callers (the statement runners, the connection
// error box) need to know neither the provider nor the server: the text is what the provider reports and
// what the upgrader's message boxes show, the number is the server's error number.
#ifndef CLUBIQA_DB_ERROR_H_
#define CLUBIQA_DB_ERROR_H_

#include <stdexcept>
#include <string>

namespace db {

class Error : public std::runtime_error {
 public:
  // `number` is 0 when the failure did not come from the server (provider missing, unknown field, ...).
  explicit Error(const std::string& text, int number = 0) : std::runtime_error(text), number_(number) {}

  [[nodiscard]] int number() const { return number_; }

 private:
  int number_;
};

}  // namespace db

#endif  // CLUBIQA_DB_ERROR_H_
