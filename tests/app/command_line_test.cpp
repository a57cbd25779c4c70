// The command line of the upgrader: --help and --version answer before any run, everything else is ignored.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "clubiqa/version.h"

namespace {

app::CommandLineRequest Read(std::initializer_list<const char*> args) {
  std::vector<const char*> argv = {"clubiqa-sql-update"};
  argv.insert(argv.end(), args);
  return app::ReadCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLineTest, NoArgumentsAndUnknownArgumentsRunTheUpgrade) {
  EXPECT_EQ(Read({}), app::CommandLineRequest::kRun);
  EXPECT_EQ(Read({"-h", "-?", "--helpme", "help", "-v", "--Version", ""}), app::CommandLineRequest::kRun);
}

TEST(CommandLineTest, HelpAndVersionAreFoundAnywhereAndTheFirstOfThemWins) {
  EXPECT_EQ(Read({"--help"}), app::CommandLineRequest::kHelp);
  EXPECT_EQ(Read({"--version"}), app::CommandLineRequest::kVersion);
  EXPECT_EQ(Read({"whatever", "--version", "--help"}), app::CommandLineRequest::kVersion);
  EXPECT_EQ(Read({"-x", "--help", "--version"}), app::CommandLineRequest::kHelp);
}

TEST(CommandLineTest, TheVersionLineNamesTheProgramAndTheRelease) {
  EXPECT_EQ(app::VersionText(), std::string("clubiqa-sql-update ") + clubiqa::kVersion + "\n");
}

TEST(CommandLineTest, TheHelpStartsWithTheUsageLineAndNamesTheSettingsFileAndEveryExitCode) {
  const std::string help = app::HelpText("/opt/clubiqa/bin/SysDBAdo.INI");
  EXPECT_TRUE(help.starts_with("usage: clubiqa-sql-update [--help | --version]\n")) << help;
  EXPECT_NE(help.find("\n  /opt/clubiqa/bin/SysDBAdo.INI\n"), std::string::npos) << help;
  for (const char* code : {"\n  0  ", "\n  1  ", "\n  2  ", "\n  3  "}) {
    EXPECT_NE(help.find(code), std::string::npos) << code;
  }
}

}  // namespace
