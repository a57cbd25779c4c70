// Program entry of clubiqa-sql-update: answers --help and --version, otherwise builds the front end (the
// window when a display can be opened, the console otherwise), creates the main window and runs until the
// program is told to end.
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>
#include <string>

#include "app/command_line.h"
#include "app/executable_dir.h"
#include "app/exit_codes.h"
#include "app/front_end.h"
#include "app/main_window.h"
#include "shell/shell.h"

#ifdef _WIN32
#include <io.h>
#define CLUBIQA_ISATTY _isatty
#define CLUBIQA_FILENO _fileno
#else
#include <unistd.h>
#define CLUBIQA_ISATTY isatty
#define CLUBIQA_FILENO fileno
#endif

namespace {

// Where the run would read its settings; the help names it, so that a user who started the program through
// a link learns which directory counts. The file itself is not opened.
std::string SettingsFileForHelp() {
  try {
    return (app::ExecutableDirectory() / "SysDBAdo.INI").string();
  } catch (const std::exception&) {
    return "SysDBAdo.INI in the directory of the program";
  }
}

// Prints what --help or --version asks for; false when the command line asks for the run.
bool AnswerCommandLine(int argc, const char* const* argv) {
  switch (app::ReadCommandLine(argc, argv)) {
    case app::CommandLineRequest::kHelp:
      std::cout << app::HelpText(SettingsFileForHelp());
      return true;
    case app::CommandLineRequest::kVersion:
      std::cout << app::VersionText();
      return true;
    case app::CommandLineRequest::kRun:
      break;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (AnswerCommandLine(argc, argv)) return app::kExitCompleted;
  try {
    const shell::ThreadScope shell_thread;  // the shortcut refresh at the end of the run calls the shell
    const std::filesystem::path exe_dir = app::ExecutableDirectory();
    std::unique_ptr<app::FrontEnd> front_end = app::MakeWindowFrontEnd();
    if (!front_end) front_end = app::MakeConsoleFrontEnd(std::cout, CLUBIQA_ISATTY(CLUBIQA_FILENO(stdout)) != 0);
    app::MainWindow window(*front_end, exe_dir);
    return front_end->Run([&window] { window.Activate(); });
  } catch (const std::exception& e) {
    std::cerr << "clubiqa-sql-update: " << e.what() << "\n";
    return app::kExitCannotStart;
  }
}
