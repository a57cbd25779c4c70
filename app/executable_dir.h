// Where the running executable lives: SysDBAdo.INI is read there.
#ifndef CLUBIQA_APP_EXECUTABLE_DIR_H_
#define CLUBIQA_APP_EXECUTABLE_DIR_H_

#include <filesystem>

namespace app {

// The directory of the running executable. Throws std::runtime_error when the system cannot tell.
std::filesystem::path ExecutableDirectory();

}  // namespace app

#endif  // CLUBIQA_APP_EXECUTABLE_DIR_H_
