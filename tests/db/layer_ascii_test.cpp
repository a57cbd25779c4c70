// The layer's case folding of names: only A to Z fold, whatever locale the process runs under, and every byte of
// a UTF-8 sequence passes unchanged, in the helpers and in a column lookup that uses them.
#include <gtest/gtest.h>

#include <clocale>
#include <initializer_list>
#include <string>

#include "db/ascii.h"
#include "db/rows.h"

namespace {

// Switches the C and C++ locale to the first of a few where std::toupper folds differently from ASCII (dotted
// and dotless i, Latin-1 umlauts as single bytes), for the lifetime of the object. Machines without any of them
// keep the C locale; the checks then still prove the folding for the bytes at and above 0x80.
class FoldingLocale {
 public:
  FoldingLocale() : previous_(std::setlocale(LC_ALL, nullptr)) {
    for (const char* name : {"tr_TR.UTF-8", "tr_TR.ISO-8859-9", "de_DE.ISO-8859-1", "de_DE@euro", "C.UTF-8"}) {
      if (std::setlocale(LC_ALL, name) != nullptr) break;
    }
  }
  ~FoldingLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
  FoldingLocale(const FoldingLocale&) = delete;
  FoldingLocale& operator=(const FoldingLocale&) = delete;

 private:
  std::string previous_;
};

TEST(LayerAscii, OnlyAsciiLettersFoldAndIFoldsToI) {
  FoldingLocale locale;
  EXPECT_EQ(db::AsciiUpper('i'), 'I');
  EXPECT_EQ(db::AsciiLower('I'), 'i');
  EXPECT_EQ(db::AsciiUpperCopy("AdrNr_9 z"), "ADRNR_9 Z");
  EXPECT_EQ(db::AsciiLowerCopy("AdrNr_9 Z"), "adrnr_9 z");
  EXPECT_TRUE(db::EqualsIgnoreCaseAscii("Integrated Security", "INTEGRATED security"));
  EXPECT_FALSE(db::EqualsIgnoreCaseAscii("Nr", "Nr "));
  EXPECT_TRUE(db::IsAsciiLetter('q'));
  EXPECT_FALSE(db::IsAsciiLetter('_'));
}

TEST(LayerAscii, BytesFrom0x80UpPassUnchanged) {
  FoldingLocale locale;
  for (int byte = 0x80; byte <= 0xFF; ++byte) {
    const char c = static_cast<char>(byte);
    EXPECT_EQ(db::AsciiUpper(c), c) << byte;
    EXPECT_EQ(db::AsciiLower(c), c) << byte;
    EXPECT_FALSE(db::IsAsciiLetter(c)) << byte;
  }
  EXPECT_EQ(db::AsciiUpperCopy("Müller, Straße, Ärger"), "MüLLER, STRAßE, ÄRGER");
  EXPECT_EQ(db::AsciiLowerCopy("MÜLLER, Ärger"), "mÜller, Ärger");
  EXPECT_EQ(db::AsciiUpperCopy("\xe4\xf6\xfc\xdf"), "\xe4\xf6\xfc\xdf");  // Latin-1 umlauts and sharp s
}

TEST(LayerAscii, ColumnLookupFoldsTheSameWay) {
  FoldingLocale locale;
  db::RowSet rows;
  rows.columns = {"Kündigung", "Straße", "Id"};
  EXPECT_EQ(rows.Find("KüNDIGUNG"), 0u);
  EXPECT_EQ(rows.Find("STRAßE "), 1u);
  EXPECT_EQ(rows.Find("iD"), 2u);
  EXPECT_EQ(rows.Find("Strasse"), std::nullopt);
}

}  // namespace
