// How reference scripts are cut into batches: the separator rule and what is (not) sent.
#include "schema/script_batches.h"

#include <gtest/gtest.h>

namespace schema {
namespace {

using Batches = std::vector<std::string>;

TEST(ScriptBatches, SeparatorLinesInAnyCaseAndSurroundedByBlanks) {
  EXPECT_TRUE(IsSeparatorLine("GO"));
  EXPECT_TRUE(IsSeparatorLine("go"));
  EXPECT_TRUE(IsSeparatorLine("  Go \t"));
  EXPECT_TRUE(IsSeparatorLine("\tgO\x01"));
  EXPECT_FALSE(IsSeparatorLine("GO;"));
  EXPECT_FALSE(IsSeparatorLine("GO 2"));
  EXPECT_FALSE(IsSeparatorLine("GOTO"));
  EXPECT_FALSE(IsSeparatorLine("G O"));
  EXPECT_FALSE(IsSeparatorLine(""));
}

TEST(ScriptBatches, EveryLineFollowedByLfAndSeparatorsNeverSent) {
  EXPECT_EQ(ScriptBatches("CREATE TABLE a (x int)\r\nGO\r\nINSERT a VALUES (1)\r\n\r\nINSERT a VALUES (2)\r\ngo\r\n"),
            (Batches{"CREATE TABLE a (x int)\n", "INSERT a VALUES (1)\n\nINSERT a VALUES (2)\n"}));
}

TEST(ScriptBatches, LoneCrAndLoneLfEndLinesToo) {
  EXPECT_EQ(ScriptBatches("a\rb\nGO\rc\r\nGO"), (Batches{"a\nb\n", "c\n"}));
}

TEST(ScriptBatches, TextAfterTheLastSeparatorIsDropped) {
  EXPECT_EQ(ScriptBatches("SELECT 1\nGO\nSELECT 2\n"), (Batches{"SELECT 1\n"}));
  EXPECT_EQ(ScriptBatches("SELECT 1\n"), Batches{});
  // Empty lines after the last GO are not sent either.
  EXPECT_EQ(ScriptBatches("SELECT 1\nGO\n\n\n"), (Batches{"SELECT 1\n"}));
}

TEST(ScriptBatches, EmptyBatchesAreStillSent) {
  EXPECT_EQ(ScriptBatches("GO\nSELECT 1\nGO\nGO\n"), (Batches{"", "SELECT 1\n", ""}));
}

TEST(ScriptBatches, GoWithCountOrSemicolonIsAnOrdinaryLine) {
  EXPECT_EQ(ScriptBatches("SELECT 1\nGO 2\nGO;\nGO\n"), (Batches{"SELECT 1\nGO 2\nGO;\n"}));
}

TEST(ScriptBatches, LinesKeepTheirOwnBlanksAndQuotedLineBreaks) {
  // A quoted value spanning lines travels with its line breaks (as LF).
  EXPECT_EQ(ScriptBatches("INSERT t VALUES ('a\r\n  b')  \nGO"), (Batches{"INSERT t VALUES ('a\n  b')  \n"}));
}

}  // namespace
}  // namespace schema
