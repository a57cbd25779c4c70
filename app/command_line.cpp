#include "app/command_line.h"

#include <string_view>

#include "clubiqa/version.h"

namespace app {

CommandLineRequest ReadCommandLine(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help") return CommandLineRequest::kHelp;
    if (arg == "--version") return CommandLineRequest::kVersion;
  }
  return CommandLineRequest::kRun;
}

// The exit codes are those of exit_codes.h; the manual page says the same at greater length.
std::string HelpText(std::string_view settings_file) {
  std::string text =
      "usage: clubiqa-sql-update [--help | --version]\n"
      "\n"
      "Upgrades every client database on the SQL Server named in the settings file\n  ";
  text += settings_file;
  text +=
      "\n"
      "to the schema and reference data of this release, widens the tax-key columns and refreshes the\n"
      "descriptions of the Clubiqa shortcuts. With a display it shows its window and waits for each message\n"
      "box to be confirmed; without one it runs on the console and confirms every box itself.\n"
      "\n"
      "  --help     print this help and exit\n"
      "  --version  print the release number and exit\n"
      "Any other argument is ignored.\n"
      "\n"
      "Exit codes on the console:\n"
      "  0  the run completed and no box reported a failure\n"
      "  1  a failure ended the run before the completion message\n"
      "  2  the program could not start its run\n"
      "  3  the run completed, but a warning, error or plain box reported a failure\n";
  return text;
}

std::string VersionText() { return std::string("clubiqa-sql-update ") + clubiqa::kVersion + "\n"; }

}  // namespace app
