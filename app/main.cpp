// Program entry of clubiqa-sql-update: builds the front end (the window when a display can be opened, the
// console otherwise), creates the main window and runs until the program is told to end.
#include <cstdio>
#include <exception>
#include <iostream>
#include <memory>

#include "app/executable_dir.h"
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

int main() {
  try {
    const shell::ThreadScope shell_thread;  // the shortcut refresh at the end of the run calls the shell
    const std::filesystem::path exe_dir = app::ExecutableDirectory();
    std::unique_ptr<app::FrontEnd> front_end = app::MakeWindowFrontEnd();
    if (!front_end) front_end = app::MakeConsoleFrontEnd(std::cout, CLUBIQA_ISATTY(CLUBIQA_FILENO(stdout)) != 0);
    app::MainWindow window(*front_end, exe_dir);
    return front_end->Run([&window] { window.Activate(); });
  } catch (const std::exception& e) {
    std::cerr << "clubiqa-sql-update: " << e.what() << "\n";
    return 2;
  }
}
