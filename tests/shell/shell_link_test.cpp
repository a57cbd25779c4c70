// Shell-link files patched byte by byte: a sample link built here field by field following the file layout
// (header, item identifier list, link info, strings, extra data), its description replaced, every other byte
// kept, and damaged files refused.
#include "shell_link.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "shell/shell.h"
#include "xdg_sandbox.h"

namespace {

using shell::ShellLinkDescription;
using shell::WithShellLinkDescription;

void U16(std::string& out, uint32_t value) {
  out.push_back(static_cast<char>(value & 0xFF));
  out.push_back(static_cast<char>((value >> 8) & 0xFF));
}

void U32(std::string& out, uint32_t value) {
  U16(out, value & 0xFFFF);
  U16(out, value >> 16);
}

// A counted string of the string data: UTF-16LE of ASCII text, or the bytes as they are.
std::string CountedString(std::string_view text, bool unicode) {
  std::string out;
  U16(out, static_cast<uint32_t>(text.size()));
  for (const char c : text) {
    out.push_back(c);
    if (unicode) out.push_back('\0');
  }
  return out;
}

// The parts of a sample link to C:\Clubiqa\vanta.exe, in file order.
struct SampleLink {
  uint32_t flags = shell::kHasLinkTargetIdList | shell::kHasLinkInfo | shell::kHasName | shell::kHasRelativePath |
                   shell::kHasWorkingDir | shell::kIsUnicode;
  std::string description = "Clubiqa vanta 2013";

  bool unicode() const { return (flags & shell::kIsUnicode) != 0; }

  std::string Header() const {
    std::string out;
    U32(out, 0x4C);
    out += std::string("\x01\x14\x02\x00\x00\x00\x00\x00\xC0\x00\x00\x00\x00\x00\x00\x46", 16);
    U32(out, flags);
    U32(out, 0x20);  // the target is an archive file
    for (int time = 0; time < 3; ++time) out += std::string("\x00\x6B\x2F\x9E\x13\x5A\xCF\x01", 8);
    U32(out, 0x0004A000);  // size of the target
    U32(out, 0);           // icon index
    U32(out, 1);           // shown normally
    U16(out, 0);           // no hot key
    out += std::string(10, '\0');
    return out;
  }

  // Two items (a drive and a file) and the terminating zero.
  static std::string IdList() {
    std::string items;
    U16(items, 2 + 23);
    items += std::string(
                 "\x2F"
                 "C:\\",
                 4) +
             std::string(19, '\0');
    U16(items, 2 + 12);
    items += std::string("\x32\x00vanta.exe\0", 12);
    U16(items, 0);
    std::string out;
    U16(out, static_cast<uint32_t>(items.size()));
    return out + items;
  }

  // A link-info block with a local base path.
  static std::string LinkInfo() {
    const std::string path = "C:\\Clubiqa\\vanta.exe";
    std::string body;
    U32(body, 0x1C);                           // header size
    U32(body, 1);                              // volume id and local base path
    U32(body, 0x1C);                           // volume id offset
    U32(body, 0x1C + 0x11);                    // local base path offset
    U32(body, 0);                              // no network part
    U32(body, 0x1C + 0x11 + path.size() + 1);  // common path suffix offset
    std::string volume;
    U32(volume, 0x11);
    U32(volume, 3);  // fixed drive
    U32(volume, 0x1234ABCD);
    U32(volume, 0x10);
    volume.push_back('\0');
    body += volume + path + '\0' + '\0';
    std::string out;
    U32(out, static_cast<uint32_t>(body.size() + 4));
    return out + body;
  }

  std::string Strings() const {
    std::string out;
    if (flags & shell::kHasName) out += CountedString(description, unicode());
    if (flags & shell::kHasRelativePath) out += CountedString("..\\..\\Clubiqa\\vanta.exe", unicode());
    if (flags & shell::kHasWorkingDir) out += CountedString("C:\\Clubiqa", unicode());
    return out;
  }

  // A special-folder block and the terminal block.
  static std::string ExtraData() {
    std::string out;
    U32(out, 0x10);
    U32(out, 0xA0000005);
    U32(out, 0x26);  // program files
    U32(out, 0x14);  // offset into the identifier list
    U32(out, 0);
    return out;
  }

  // Everything before the description, the description with its count, everything after it.
  std::string Before() const { return Header() + IdList() + LinkInfo(); }
  std::string Name() const { return (flags & shell::kHasName) ? CountedString(description, unicode()) : ""; }
  std::string After() const { return Strings().substr(Name().size()) + ExtraData(); }
  std::string Bytes() const { return Before() + Name() + After(); }
};

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
