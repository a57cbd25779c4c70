// Shell-link files patched byte by byte: the sample link of sample_link.h, built field by field, gets its
// description replaced with every other byte kept, and damaged files are refused.
#include "shell_link.h"

#include <gtest/gtest.h>

#include <string>

#include "sample_link.h"
#include "shell/shell.h"
#include "xdg_sandbox.h"

namespace {

using shell::ShellLinkDescription;
using shell::WithShellLinkDescription;
using shell_test::SampleLink;

TEST(ShellLinkTest, TheDescriptionOfTheSampleIsRead) {
  const SampleLink sample;
  const std::optional<shell::ShellLinkLayout> layout = shell::ParseShellLink(sample.Bytes());
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->name_offset, sample.Before().size());
  EXPECT_EQ(layout->name_size, 2 + 2 * sample.description.size());
  EXPECT_EQ(ShellLinkDescription(sample.Bytes()), "Clubiqa vanta 2013");
}

TEST(ShellLinkTest, OnlyTheDescriptionChangesAndASecondParseReadsItBack) {
  const SampleLink old_link;
  SampleLink new_link = old_link;
  new_link.description = "Clubiqa vanta 2014";
  const std::string patched = WithShellLinkDescription(old_link.Bytes(), "Clubiqa vanta 2014");
  EXPECT_EQ(patched, new_link.Bytes());
  EXPECT_EQ(ShellLinkDescription(patched), "Clubiqa vanta 2014");
  // Same length: the one character is the one difference.
  size_t differences = 0;
  for (size_t i = 0; i < patched.size(); ++i) differences += patched[i] != old_link.Bytes()[i];
  EXPECT_EQ(differences, 1u);

  // Another length: the bytes before and after the description stay, the later strings only move.
  const std::string longer =
      WithShellLinkDescription(old_link.Bytes(), "Clubiqa vanta \xE2\x80\x93 Vereine f\xC3\xBCr 2014");
  EXPECT_TRUE(longer.starts_with(old_link.Before()));
  EXPECT_TRUE(longer.ends_with(old_link.After()));
  EXPECT_EQ(longer.size(), old_link.Bytes().size() + 2 * (32 - 18));
  EXPECT_EQ(ShellLinkDescription(longer), "Clubiqa vanta \xE2\x80\x93 Vereine f\xC3\xBCr 2014");
}

TEST(ShellLinkTest, ALinkInTheAnsiCodePageGetsWindows1252) {
  SampleLink sample;
  sample.flags &= ~shell::kIsUnicode;
  const std::string patched = WithShellLinkDescription(sample.Bytes(), "Clubiqa \xE2\x80\x93 f\xC3\xBCr \xE2\x82\xAC");
  EXPECT_EQ(patched, sample.Before() +
                         std::string("\x0F\x00"
                                     "Clubiqa \x96 f\xFCr \x80",
                                     17) +
                         sample.After());
  EXPECT_EQ(ShellLinkDescription(patched), "Clubiqa \xE2\x80\x93 f\xC3\xBCr \xE2\x82\xAC");
  // A character that Windows-1252 lacks cannot be stored.
  EXPECT_THROW(WithShellLinkDescription(sample.Bytes(), "Clubiqa \xE2\x86\x92 2014"), shell::Error);
}

TEST(ShellLinkTest, ALinkWithoutDescriptionGetsOneAndItsFlag) {
  SampleLink sample;
  sample.flags &= ~shell::kHasName;
  EXPECT_EQ(ShellLinkDescription(sample.Bytes()), "");
  SampleLink expected = sample;
  expected.flags |= shell::kHasName;
  expected.description = "Clubiqa";
  EXPECT_EQ(WithShellLinkDescription(sample.Bytes(), "Clubiqa"), expected.Bytes());
}

TEST(ShellLinkTest, TheSameDescriptionGivesTheSameBytes) {
  const SampleLink sample;
  EXPECT_EQ(WithShellLinkDescription(sample.Bytes(), sample.description), sample.Bytes());
  // Without identifier list and link info, and with bytes after the terminal block.
  SampleLink bare;
  bare.flags = shell::kHasName;
  const std::string bytes = bare.Header() + bare.Name() + bare.ExtraData() + "tail";
  EXPECT_EQ(WithShellLinkDescription(bytes, bare.description), bytes);
}

TEST(ShellLinkTest, DamagedFilesDoNotParse) {
  const std::string bytes = SampleLink().Bytes();
  // Cut anywhere, the file lacks at least its terminal block.
  for (size_t size = 0; size < bytes.size(); ++size) {
    EXPECT_FALSE(shell::ParseShellLink(bytes.substr(0, size))) << size;
  }
  std::string wrong_class = bytes;
  wrong_class[4] = 0x02;
  EXPECT_FALSE(shell::ParseShellLink(wrong_class));
  std::string wrong_header = bytes;
  wrong_header[0] = 0x4D;
  EXPECT_FALSE(shell::ParseShellLink(wrong_header));
  std::string wrong_list = bytes;
  wrong_list[0x4C] += 2;  // the identifier list claims more than its items
  EXPECT_FALSE(shell::ParseShellLink(wrong_list));
  std::string huge_count = bytes;
  const size_t name = SampleLink().Before().size();
  huge_count[name] = '\xFF';
  huge_count[name + 1] = '\xFF';
  EXPECT_FALSE(shell::ParseShellLink(huge_count));
  EXPECT_THROW(WithShellLinkDescription(wrong_class, "x"), shell::Error);
  EXPECT_THROW(ShellLinkDescription(wrong_class), shell::Error);
}

TEST(ShellLinkTest, DescriptionsLongerThanTheShellTakesAreRefused) {
  const std::string bytes = SampleLink().Bytes();
  EXPECT_NO_THROW(WithShellLinkDescription(bytes, std::string(shell::kMaxShellLinkDescription, 'x')));
  EXPECT_THROW(WithShellLinkDescription(bytes, std::string(shell::kMaxShellLinkDescription + 1, 'x')), shell::Error);
  EXPECT_THROW(WithShellLinkDescription(bytes, "\xC3"), shell::Error);  // not UTF-8
}

TEST(ShellLinkTest, AShellLinkFileGetsItsDescriptionAndKeepsItsMode) {
  const shell_test::XdgSandbox sandbox;
  const std::filesystem::path file = sandbox.desktop() / "Clubiqa vanta 2013.lnk";
  shell_test::XdgSandbox::Write(file, SampleLink().Bytes(), 0640);
  shell::SetShortcutDescription(file, "Clubiqa vanta 2014");
  SampleLink expected;
  expected.description = "Clubiqa vanta 2014";
  EXPECT_EQ(shell_test::XdgSandbox::Read(file), expected.Bytes());
  EXPECT_EQ(shell_test::XdgSandbox::Mode(file), 0640u);
  EXPECT_EQ(ShellLinkDescription(shell_test::XdgSandbox::Read(file)), "Clubiqa vanta 2014");
}

TEST(ShellLinkTest, AShellLinkFileThatDoesNotParseIsLeftAlone) {
  const shell_test::XdgSandbox sandbox;
  const std::filesystem::path file = sandbox.desktop() / "Clubiqa.lnk";
  const std::string damaged = SampleLink().Bytes().substr(0, 100);
  shell_test::XdgSandbox::Write(file, damaged);
  EXPECT_THROW(shell::SetShortcutDescription(file, "Clubiqa"), shell::Error);
  EXPECT_EQ(shell_test::XdgSandbox::Read(file), damaged);
}

}  // namespace
