// Desktop entries read and rewritten line by line: what a comment change does to the text, which files are
// no desktop entries, and which program a launcher needs.
#include "desktop_entry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "xdg_sandbox.h"

namespace {

using shell::DesktopEntry;

// The text of `bytes` with its comments set to `comment`, or "invalid".
std::string WithComment(std::string_view bytes, std::string_view comment) {
  std::optional<DesktopEntry> entry = DesktopEntry::Parse(bytes);
  if (!entry) return "invalid";
  entry->SetComment(comment);
  return entry->Serialize();
}

TEST(DesktopEntryTest, ParsingAndWritingBackKeepsEveryByte) {
  const std::string text =
      "\xEF\xBB\xBF# made by hand\r\n"
      "\n"
      "[Desktop Entry]\r\n"
      "Version=1.5\n"
      "Type = Application\r\n"
      "Name=Clubiqa vanta 2013\n"
      "Name[de]=Clubiqa vanta 2013 \xC3\xBC\n"
      "  \t\n"
      "Exec=clubiqa %f\n"
      "[Desktop Action new]\n"
      "Name=Neu\n"
      "Comment=ohne Zeilenende";
  const std::optional<DesktopEntry> entry = DesktopEntry::Parse(text);
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->Serialize(), text);
  EXPECT_EQ(entry->Value("Type"), "Application");
  EXPECT_EQ(entry->Value("Name[de]"), "Clubiqa vanta 2013 \xC3\xBC");
  EXPECT_EQ(entry->Value("Comment"), std::nullopt);  // the one of the action is not the entry's
}

TEST(DesktopEntryTest, EveryCommentOfTheEntryGroupChangesAndNothingElse) {
  EXPECT_EQ(WithComment("# launcher\n"
                        "[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=Clubiqa\n"
                        "Comment=Clubiqa 2013\n"
                        "Comment[de]=Vereinsverwaltung 2013\n"
                        "Comment[fr_FR@euro]=Gestion 2013\n"
                        "Comments=not a comment key\n"
                        "Exec=clubiqa\n"
                        "\n"
                        "[Desktop Action new]\n"
                        "Name=New club\n"
                        "Comment=stays\n"
                        "Comment[de]=bleibt\n",
                        "Clubiqa 2014"),
            "# launcher\n"
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Clubiqa\n"
            "Comment=Clubiqa 2014\n"
            "Comment[de]=Clubiqa 2014\n"
            "Comment[fr_FR@euro]=Clubiqa 2014\n"
            "Comments=not a comment key\n"
            "Exec=clubiqa\n"
            "\n"
            "[Desktop Action new]\n"
            "Name=New club\n"
            "Comment=stays\n"
            "Comment[de]=bleibt\n");
}

TEST(DesktopEntryTest, CrLfLinesKeepTheirEndsAndTheKeyItsBlanks) {
  EXPECT_EQ(WithComment("[Desktop Entry]\r\nType=Application\r\nName=Clubiqa\r\nComment = old\r\nExec=c\r\n", "new"),
            "[Desktop Entry]\r\nType=Application\r\nName=Clubiqa\r\nComment = new\r\nExec=c\r\n");
}

TEST(DesktopEntryTest, WithoutACommentOneIsAddedAfterName) {
  EXPECT_EQ(WithComment("[Desktop Entry]\nName=Clubiqa\nType=Application\n", "Clubiqa"),
            "[Desktop Entry]\nName=Clubiqa\nComment=Clubiqa\nType=Application\n");
  EXPECT_EQ(WithComment("[Desktop Entry]\r\nType=Application\r\nName=Clubiqa\r\nExec=c\r\n", "Clubiqa"),
            "[Desktop Entry]\r\nType=Application\r\nName=Clubiqa\r\nComment=Clubiqa\r\nExec=c\r\n");
  // Name as the last line without a line end: the file keeps ending without one.
  EXPECT_EQ(WithComment("[Desktop Entry]\r\nType=Application\r\nName=Clubiqa", "Clubiqa"),
            "[Desktop Entry]\r\nType=Application\r\nName=Clubiqa\r\nComment=Clubiqa");
  // Only a localized comment: it changes, and the plain one that must exist is added.
  EXPECT_EQ(WithComment("[Desktop Entry]\nType=Application\nName=Clubiqa\nName[de]=Clubiqa\nComment[de]=alt\n", "neu"),
            "[Desktop Entry]\nType=Application\nName=Clubiqa\nComment=neu\nName[de]=Clubiqa\nComment[de]=neu\n");
}

TEST(DesktopEntryTest, ValuesAreEscapedAsDesktopEntriesWriteThem) {
  EXPECT_EQ(shell::EscapeDesktopValue("Clubiqa vanta 2014"), "Clubiqa vanta 2014");
  EXPECT_EQ(shell::EscapeDesktopValue(" a\\b\tc\nd\re "), "\\sa\\\\b\\tc\\nd\\re\\s");
  EXPECT_EQ(shell::UnescapeDesktopValue("\\sa\\\\b\\tc\\nd\\re\\s\\x\\"), " a\\b\tc\nd\re \\x\\");
  EXPECT_EQ(WithComment("[Desktop Entry]\nType=Application\nName=C\nComment=x\n", "a\\b"),
            "[Desktop Entry]\nType=Application\nName=C\nComment=a\\\\b\n");
}

TEST(DesktopEntryTest, FilesThatAreNoDesktopEntriesAreRefused) {
  const char* const kInvalid[] = {
      "",
      "# only a comment\n",
      "[Desktop Action x]\nType=Application\nName=C\n",       // the entry's group is not the first
      "Type=Application\n[Desktop Entry]\nName=C\n",          // a key before any group
      "[Desktop Entry]\nType=Application\nName=C\nno key\n",  // a line that is nothing
      "[Desktop Entry]\nType=Application\nName=C\nName=D\n",  // a key twice
      "[Desktop Entry]\nType=Application\nName=C\n[Desktop Entry]\nName=D\n",
      "[Desktop Entry]\nName=C\n",                        // no Type
      "[Desktop Entry]\nType=Application\nName[de]=C\n",  // no plain Name
      "[Desktop Entry]\nType=Application\nName=C\nEx_ec=c\n",
      "[Desktop Entry]\nType=Application\nName=C\nComment[]=c\n",
      " [Desktop Entry]\nType=Application\nName=C\n",
      "\x01\x02\x03\x04 binary",
  };
  for (const char* text : kInvalid) EXPECT_FALSE(DesktopEntry::Parse(text)) << text;
}

std::optional<std::string> Program(std::string_view text) {
  const std::optional<DesktopEntry> entry = DesktopEntry::Parse(text);
  return entry ? shell::LaunchedProgram(*entry) : std::nullopt;
}

TEST(DesktopEntryTest, TheProgramIsTryExecOrTheFirstArgumentOfExec) {
  const std::string head = "[Desktop Entry]\nType=Application\nName=C\n";
  EXPECT_EQ(Program(head + "TryExec=/opt/clubiqa/check\nExec=/opt/clubiqa/run %f\n"), "/opt/clubiqa/check");
  EXPECT_EQ(Program(head + "Exec=clubiqa --club %f\n"), "clubiqa");
  EXPECT_EQ(Program(head + "Exec=  \"/opt/Clubiqa vanta/run\" %U\n"), "/opt/Clubiqa vanta/run");
  EXPECT_EQ(Program(head + "Exec=\"/opt/a \\\\\\\\ \\\\\"q\\\\\" \\\\$x\" -v\n"), "/opt/a \\ \"q\" $x");
  EXPECT_EQ(Program(head + "Exec=/opt/Clubiqa\\svanta/run\n"), "/opt/Clubiqa");  // an escaped blank still separates
  EXPECT_EQ(Program(head + "Exec=\"/opt/unterminated\n"), std::nullopt);
  EXPECT_EQ(Program(head + "Exec=\n"), std::nullopt);
  EXPECT_EQ(Program(head + "URL=https://example.org\n"), std::nullopt);
}

TEST(DesktopEntryTest, AProgramExistsWhenItIsAnExecutableFile) {
  const shell_test::XdgSandbox sandbox;
  const std::filesystem::path bin = sandbox.root() / "bin";
  shell_test::XdgSandbox::WriteProgram(bin / "clubiqa");
  shell_test::XdgSandbox::Write(bin / "readme", "not a program", 0644);
  std::filesystem::create_directories(bin / "folder");
  const std::string path = "relative/bin::" + bin.string();

  EXPECT_TRUE(shell::ProgramExists((bin / "clubiqa").string(), ""));
  EXPECT_TRUE(shell::ProgramExists("clubiqa", path));
  EXPECT_FALSE(shell::ProgramExists("readme", path));
  EXPECT_FALSE(shell::ProgramExists("folder", path));
  EXPECT_FALSE(shell::ProgramExists("sorelda", path));
  EXPECT_FALSE(shell::ProgramExists((bin / "sorelda").string(), path));
  EXPECT_FALSE(shell::ProgramExists("clubiqa", "bin"));  // relative folders of PATH do not count
  EXPECT_FALSE(shell::ProgramExists("", path));
}

}  // namespace
