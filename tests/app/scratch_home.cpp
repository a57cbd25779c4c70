// Every run of the main window ends with the shortcut refresh, which looks at the desktop and the menus of
// the user running it. The app tests never touch the real ones: the whole test program runs with a scratch
// home and scratch XDG folders, and the tests about shortcuts make scratch homes of their own inside it.
#include <gtest/gtest.h>

#include <memory>

#include "shell/xdg_sandbox.h"

namespace {

class ScratchHome : public ::testing::Environment {
 public:
  void SetUp() override { sandbox_ = std::make_unique<shell_test::XdgSandbox>(); }
  void TearDown() override { sandbox_.reset(); }

 private:
  std::unique_ptr<shell_test::XdgSandbox> sandbox_;
};

[[maybe_unused]] const ::testing::Environment* const kScratchHome =
    ::testing::AddGlobalTestEnvironment(new ScratchHome);

}  // namespace
