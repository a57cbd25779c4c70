// What the demo databases hold: a small club of the previous release in each club database, and a few
// rows in the unrelated one. The batches are sent one by one on a session of that database.
#ifndef CLUBIQA_TOOLS_DEMO_SERVER_DEMO_CONTENT_H_
#define CLUBIQA_TOOLS_DEMO_SERVER_DEMO_CONTENT_H_

#include <string>
#include <string_view>
#include <vector>

namespace demo {

std::vector<std::string> ClubDatabaseBatches(std::string_view database_name);
std::vector<std::string> ArchiveBatches();

}  // namespace demo

#endif  // CLUBIQA_TOOLS_DEMO_SERVER_DEMO_CONTENT_H_
