// The eight text blocks of reference SQL that the catalogue runs: the chart-of-accounts templates (Memo1), the
// tax-key templates (Memo2), the sports federations (MemoFachv), the sports (MemoSport), the federations and
// sports of the Württemberg scheme (MemoFachWLSB), the help topics (memoHelp), the bank-code block (MemoBLZ1,
// empty) and the federations of the DSA scheme (MemoDSAFach).
//
// They are compiled into the program in their text form: Windows-1252 lines joined by CR LF. The catalogue sends
// them as UTF-8, like every other statement, so they are decoded once, on first use. Read-only; safe to read
// from any thread after that first use.
#ifndef CLUBIQA_UPGRADE_TEXT_BLOCKS_H_
#define CLUBIQA_UPGRADE_TEXT_BLOCKS_H_

#include <span>
#include <string>
#include <string_view>

namespace upgrade {

struct TextBlocks {
  std::string Memo1;
  std::string Memo2;
  std::string MemoFachv;
  std::string MemoSport;
  std::string MemoFachWLSB;
  std::string memoHelp;
  std::string MemoBLZ1;
  std::string MemoDSAFach;
};

// Every block decoded to UTF-8, lines joined by CR LF.
const TextBlocks& EmbeddedTextBlocks();

// The lines of the block named `name` exactly as the program carries them (Windows-1252 bytes, no line ends).
// Throws std::out_of_range for a name that is not one of the eight.
std::span<const char* const> TextBlockLines(std::string_view name);

// Windows-1252 text as UTF-8. The five bytes the code page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become
// the control characters of the same number, as Windows converts them.
std::string Cp1252ToUtf8(std::string_view text);

}  // namespace upgrade

#endif  // CLUBIQA_UPGRADE_TEXT_BLOCKS_H_
