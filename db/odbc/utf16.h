// UTF-8 <-> UTF-16 at the ODBC boundary: the layer above speaks UTF-8, the W functions of the driver manager
// speak UTF-16 (SQLWCHAR is 16 bits with unixODBC and on Windows). Nothing else in the provider converts text.
#ifndef CLUBIQA_DB_ODBC_UTF16_H_
#define CLUBIQA_DB_ODBC_UTF16_H_

#include <string>
#include <string_view>

namespace db::odbc {

// Malformed UTF-8 (a stray byte, a cut sequence, an overlong form, a surrogate) becomes U+FFFD, so that a
// text always reaches the server instead of failing on the client.
std::u16string ToUtf16(std::string_view utf8);
// A lone surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view utf16);

}  // namespace db::odbc

#endif  // CLUBIQA_DB_ODBC_UTF16_H_
