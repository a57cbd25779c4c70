// The text encodings of shell-link strings: UTF-8 inside the program, UTF-16LE in Unicode links, Windows-1252
// in the others (the Western ANSI code page). A fixed table rather than iconv: it needs no locale, treats the
// five bytes that Windows-1252 leaves undefined as Windows does (the C1 controls), and is the same on every
// platform.
#ifndef CLUBIQA_SHELL_TEXT_ENCODING_H_
#define CLUBIQA_SHELL_TEXT_ENCODING_H_

#include <optional>
#include <string>
#include <string_view>

namespace shell {

// Code points of well-formed UTF-8; nothing for malformed input (overlong forms and surrogates included).
std::optional<std::u32string> DecodeUtf8(std::string_view text);
std::string EncodeUtf8(std::u32string_view code_points);

// UTF-16 little-endian bytes; `bytes` of odd size or with unpaired surrogates give nothing.
std::string EncodeUtf16Le(std::u32string_view code_points);
std::optional<std::u32string> DecodeUtf16Le(std::string_view bytes);

// Windows-1252 bytes; nothing when a code point has no byte.
std::optional<std::string> EncodeCp1252(std::u32string_view code_points);
std::u32string DecodeCp1252(std::string_view bytes);

}  // namespace shell

#endif  // CLUBIQA_SHELL_TEXT_ENCODING_H_
