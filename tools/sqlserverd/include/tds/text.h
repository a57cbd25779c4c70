// Text encodings at the wire: the engine keeps strings as UTF-8, the protocol carries Unicode
// as UTF-16LE (lengths count code units, so a character outside the BMP counts two) and
// single-byte strings in Windows-1252, the code page of the Latin1_General_CI_AS collation.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tds {

// Invalid UTF-8 becomes U+FFFD rather than failing: the text came from the engine or a client.
std::vector<uint8_t> Utf8ToUtf16Le(std::string_view utf8);
// Unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::span<const uint8_t> bytes);
// Characters outside Windows-1252 become '?', as SQL Server stores them in varchar.
std::vector<uint8_t> Utf8ToCp1252(std::string_view utf8);
std::string Cp1252ToUtf8(std::span<const uint8_t> bytes);

}  // namespace tds
