#include "db/command.h"

namespace db {

void Command::Execute() { connection_.RunCommand(text_); }

void Command::ExecuteLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  text_ = std::move(text);
  Execute();
}

}  // namespace db
