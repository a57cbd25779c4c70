// The command line of clubiqa-sql-update.
//
// The program has no options that change its run: SysDBAdo.INI beside the executable is its only
// configuration. --help and --version only print and end the program before anything else happens (no
// settings read, no window, no database touched); every other argument is ignored, so shortcuts and
// scripts that pass something keep working.
#ifndef CLUBIQA_APP_COMMAND_LINE_H_
#define CLUBIQA_APP_COMMAND_LINE_H_

#include <string>
#include <string_view>

namespace app {

enum class CommandLineRequest { kRun, kHelp, kVersion };

// What argv asks for: the first of --help and --version decides; anything else is kRun.
CommandLineRequest ReadCommandLine(int argc, const char* const* argv);

// The text --help prints. `settings_file` names the SysDBAdo.INI the program would read.
std::string HelpText(std::string_view settings_file);

// The text --version prints: the program's name and the release number, one line.
std::string VersionText();

}  // namespace app

#endif  // CLUBIQA_APP_COMMAND_LINE_H_
