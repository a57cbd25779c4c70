// The Latin1_General_CI_AS collation: case-insensitive, accent-sensitive, trailing blanks
// ignored, ligatures expanded ('ß' = 'ss', 'æ' = 'ae'). Strings are compared first on the
// letters alone (primary weights) and only then on accents, as Windows collations do, so
// 'äa' < 'ab' although 'a' < 'ä'.
#include <array>
#include <string>
#include <vector>

#include "types/value_util.h"
#include "values.h"

namespace engine {
namespace {

using detail::AppendUtf8;
using detail::DecodeUtf8;

// Base letters of U+0100..U+017F; '1' stands for "ij", '2' for "oe".
constexpr std::string_view kLatinExtABase =
    "aaaaaaccccccccdd"
    "ddeeeeeeeeeegggg"
    "gggghhhhiiiiiiii"
    "ii11jjkkklllllll"
    "lllnnnnnnnnnoooo"
    "oo22rrrrrrssssss"
    "ssttttttuuuuuuuu"
    "uuuuwwyyyzzzzzzs";

// Base letters and accents of U+00E0..U+00FF (lower case); '1' = "ae", '0' = not a letter.
constexpr std::string_view kLatin1Base = "aaaaaa1ceeeeiiiidnooooo0ouuuuy2y";
constexpr std::array<uint8_t, 32> kLatin1Accent = {1,  2, 3, 4, 5, 6, 0, 7, 1, 2, 3, 5, 1, 2, 3, 5,
                                                   10, 4, 1, 2, 3, 4, 5, 0, 8, 1, 2, 3, 5, 2, 0, 5};

char32_t LowerCp(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c < 0x100) return c;
  if (c < 0x180) {
    if (c == 0x178) return 0xFF;
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
    bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_upper) return (c % 2 == 1) ? c + 1 : c;
    return (c % 2 == 0) ? c + 1 : c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 0x20;
  if (c >= 0x410 && c <= 0x42F) return c + 0x20;
  if (c >= 0x400 && c <= 0x40F) return c + 0x50;
  return c;
}

char32_t UpperCp(char32_t c) {
  if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 32 : c;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 0x20;
  if (c == 0xFF) return 0x178;
  if (c < 0x100) return c;  // 'ß' and 'µ' have no single upper-case letter here
  if (c < 0x180) {
    if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F || c == 0x178) return c;
    bool odd_upper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
    if (odd_upper) return (c % 2 == 0) ? c - 1 : c;
    return (c % 2 == 1) ? c - 1 : c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 0x20;
  if (c >= 0x430 && c <= 0x44F) return c - 0x20;
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  return c;
}

// Primary weights: punctuation and blanks first, then digits, then letters; anything else
// after the letters in code point order.
constexpr uint32_t kDigitBase = 0x800;
constexpr uint32_t kLetterBase = 0x1000;
constexpr uint32_t kOtherBase = 0x2000;

uint32_t LetterWeight(char letter) { return kLetterBase + static_cast<uint32_t>(letter - 'a') * 4; }

uint32_t AsciiWeight(unsigned char c) {
  if (c >= 'a' && c <= 'z') return LetterWeight(static_cast<char>(c));
  if (c >= 'A' && c <= 'Z') return LetterWeight(static_cast<char>(c + 32));
  if (c >= '0' && c <= '9') return kDigitBase + (c - '0');
  return 0x100 + c;
}

const std::array<uint32_t, 128>& AsciiWeights() {
  static const std::array<uint32_t, 128> table = [] {
    std::array<uint32_t, 128> t{};
    for (unsigned c = 0; c < 128; ++c) t[c] = AsciiWeight(static_cast<unsigned char>(c));
    return t;
  }();
  return table;
}

// One collation element: a primary weight and an accent (0 = none).
struct Unit {
  uint32_t weight = 0;
  uint8_t accent = 0;
};

// Elements of one code point: one, or two for a ligature.
int Decompose(char32_t c, std::array<Unit, 2>& out) {
  if (c < 0x80) {
    out[0] = {AsciiWeight(static_cast<unsigned char>(c)), 0};
    return 1;
  }
  char32_t lower = LowerCp(c);
  if (lower == 0xDF) {  // ß
    out[0] = out[1] = {LetterWeight('s'), 0};
    return 2;
  }
  if (lower >= 0xE0 && lower <= 0xFF) {
    char base = kLatin1Base[lower - 0xE0];
    if (base == '1') {
      out[0] = {LetterWeight('a'), 0};
      out[1] = {LetterWeight('e'), 0};
      return 2;
    }
    if (base == '2') {  // þ sorts after z
      out[0] = {LetterWeight('z') + 2, 0};
      return 1;
    }
    if (base == '0') {
      out[0] = {0x100 + lower, 0};
      return 1;
    }
    out[0] = {LetterWeight(base), kLatin1Accent[lower - 0xE0]};
    return 1;
  }
  if (lower >= 0x100 && lower < 0x180) {
    char base = kLatinExtABase[lower - 0x100];
    if (base == '1' || base == '2') {
      out[0] = {LetterWeight(base == '1' ? 'i' : 'o'), 0};
      out[1] = {LetterWeight(base == '1' ? 'j' : 'e'), 0};
      return 2;
    }
    out[0] = {LetterWeight(base), static_cast<uint8_t>(20 + (lower - 0x100))};
    return 1;
  }
  if (lower < 0x100) {
    out[0] = {0x100 + lower, 0};
    return 1;
  }
  out[0] = {kOtherBase + lower, 0};
  return 1;
}

// Walks the collation elements of a UTF-8 string without allocating.
class UnitReader {
 public:
  UnitReader(std::string_view s, size_t pos) : s_(s), pos_(pos) {}
  bool Next(Unit& u) {
    if (pending_ < count_) {
      u = units_[pending_++];
      return true;
    }
    if (pos_ >= s_.size()) return false;
    count_ = Decompose(DecodeUtf8(s_, pos_), units_);
    pending_ = 1;
    u = units_[0];
    return true;
  }

 private:
  std::string_view s_;
  size_t pos_;
  std::array<Unit, 2> units_;
  int count_ = 0;
  int pending_ = 0;
};

int CompareSlow(std::string_view a, std::string_view b, size_t from) {
  UnitReader ra(a, from), rb(b, from);
  int accent_diff = 0;
  while (true) {
    Unit ua, ub;
    bool ha = ra.Next(ua);
    bool hb = rb.Next(ub);
    if (!ha || !hb) {
      if (ha) return 1;
      if (hb) return -1;
      return accent_diff;
    }
    if (ua.weight != ub.weight) return ua.weight < ub.weight ? -1 : 1;
    if (accent_diff == 0 && ua.accent != ub.accent) accent_diff = ua.accent < ub.accent ? -1 : 1;
  }
}

bool HasHighBit(std::string_view s) {
  for (char c : s) {
    if (static_cast<unsigned char>(c) & 0x80) return true;
  }
  return false;
}

}  // namespace

int CollateCompare(std::string_view a, std::string_view b) {
  a = detail::TrimRightBlanks(a);
  b = detail::TrimRightBlanks(b);
  const auto& w = AsciiWeights();
  size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(a[i]);
    auto cb = static_cast<unsigned char>(b[i]);
    if ((ca | cb) & 0x80) return CompareSlow(a, b, i);
    if (ca != cb && w[ca] != w[cb]) return w[ca] < w[cb] ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  // The longer string may still expand or carry accents only if it is not plain ASCII.
  std::string_view rest = a.size() > b.size() ? a.substr(n) : b.substr(n);
  if (HasHighBit(rest)) return CompareSlow(a, b, n);
  return a.size() > b.size() ? 1 : -1;
}

std::string CollateKey(std::string_view s) {
  s = detail::TrimRightBlanks(s);
  std::string key;
  key.reserve(s.size() * 2);
  // The accents part is only made once an element has an accent (most names have none); the
  // elements before it have none.
  std::string accents;
  bool any_accent = false;
  size_t units = 0;
  UnitReader r(s, 0);
  Unit u;
  while (r.Next(u)) {
    AppendUtf8(key, u.weight);
    if (u.accent != 0 && !any_accent) {
      any_accent = true;
      accents.assign(units, static_cast<char>(1));
    }
    if (any_accent) accents += static_cast<char>(u.accent + 1);
    ++units;
  }
  if (any_accent) {
    key += '\0';
    key += accents;
  }
  return key;
}

namespace {
template <typename Map>
std::string MapCase(std::string_view s, Map map) {
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    auto c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
      out += static_cast<char>(map(c));
      ++i;
    } else {
      AppendUtf8(out, map(DecodeUtf8(s, i)));
    }
  }
  return out;
}
}  // namespace

std::string UpperCase(std::string_view s) { return MapCase(s, UpperCp); }

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

std::string LowerCase(std::string_view s) { return MapCase(s, LowerCp); }

size_t Utf8Length(std::string_view s) {
  size_t n = 0;
  for (char c : s) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
  }
  return n;
}

std::string Utf8Substr(std::string_view s, size_t start_char, size_t count_chars) {
  size_t i = 0;
  for (size_t k = 0; k < start_char && i < s.size(); ++k) DecodeUtf8(s, i);
  size_t begin = i;
  for (size_t k = 0; k < count_chars && i < s.size(); ++k) DecodeUtf8(s, i);
  return std::string(s.substr(begin, i - begin));
}

// ---- LIKE ---------------------------------------------------------------------------------

namespace {

struct LikeToken {
  enum class Kind : uint8_t { kChar, kAny, kOne, kSet } kind = Kind::kChar;
  char32_t c = 0;
  bool negate = false;
  std::vector<std::pair<char32_t, char32_t>> ranges;  // kSet
};

std::vector<char32_t> Decode(std::string_view s) {
  std::vector<char32_t> out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) out.push_back(DecodeUtf8(s, i));
  return out;
}

// Order of single characters under the collation (for [a-f] ranges).
int CharCompare(char32_t a, char32_t b) {
  std::array<Unit, 2> ua{}, ub{};
  Decompose(a, ua);
  Decompose(b, ub);
  if (ua[0].weight != ub[0].weight) return ua[0].weight < ub[0].weight ? -1 : 1;
  if (ua[0].accent != ub[0].accent) return ua[0].accent < ub[0].accent ? -1 : 1;
  return 0;
}

bool CharEqual(char32_t a, char32_t b) { return a == b || LowerCp(a) == LowerCp(b); }

// Parses [...] starting after '['; returns false when there is no closing ']'.
bool ParseSet(const std::vector<char32_t>& p, size_t& i, std::optional<char32_t> escape, LikeToken& t) {
  t.kind = LikeToken::Kind::kSet;
  if (i < p.size() && p[i] == '^') {
    t.negate = true;
    ++i;
  }
  while (i < p.size() && p[i] != ']') {
    char32_t lo = p[i++];
    if (escape && lo == *escape && i < p.size()) lo = p[i++];
    char32_t hi = lo;
    if (i + 1 < p.size() && p[i] == '-' && p[i + 1] != ']') {
      hi = p[i + 1];
      i += 2;
    }
    t.ranges.emplace_back(lo, hi);
  }
  if (i >= p.size()) return false;
  ++i;  // ']'
  return true;
}

std::vector<LikeToken> ParsePattern(std::string_view pattern, std::optional<char32_t> escape) {
  std::vector<char32_t> p = Decode(pattern);
  std::vector<LikeToken> tokens;
  size_t i = 0;
  while (i < p.size()) {
    LikeToken t;
    char32_t c = p[i++];
    if (escape && c == *escape && i < p.size()) {
      t.c = p[i++];
    } else if (c == '%') {
      t.kind = LikeToken::Kind::kAny;
      if (!tokens.empty() && tokens.back().kind == LikeToken::Kind::kAny) continue;
    } else if (c == '_') {
      t.kind = LikeToken::Kind::kOne;
    } else if (c == '[') {
      size_t save = i;
      if (!ParseSet(p, i, escape, t)) {
        t = LikeToken{};
        t.c = '[';
        i = save;
      }
    } else {
      t.c = c;
    }
    tokens.push_back(std::move(t));
  }
  return tokens;
}

bool TokenMatches(const LikeToken& t, char32_t c) {
  switch (t.kind) {
    case LikeToken::Kind::kOne:
      return true;
    case LikeToken::Kind::kChar:
      return CharEqual(t.c, c);
    case LikeToken::Kind::kSet: {
      bool in = false;
      for (const auto& [lo, hi] : t.ranges) {
        if (lo == hi ? CharEqual(lo, c) : (CharCompare(lo, c) <= 0 && CharCompare(c, hi) <= 0)) {
          in = true;
          break;
        }
      }
      return in != t.negate;
    }
    case LikeToken::Kind::kAny:
      return false;
  }
  return false;
}

// Matches the first `size` characters of `v` against the whole pattern.
bool MatchTokens(const std::vector<LikeToken>& tokens, const std::vector<char32_t>& v, size_t size) {
  size_t pi = 0, vi = 0;
  size_t star = SIZE_MAX, mark = 0;
  while (vi < size) {
    if (pi < tokens.size() && tokens[pi].kind == LikeToken::Kind::kAny) {
      star = pi++;
      mark = vi;
    } else if (pi < tokens.size() && TokenMatches(tokens[pi], v[vi])) {
      ++pi;
      ++vi;
    } else if (star != SIZE_MAX) {
      pi = star + 1;
      vi = ++mark;
    } else {
      return false;
    }
  }
  while (pi < tokens.size() && tokens[pi].kind == LikeToken::Kind::kAny) ++pi;
  return pi == tokens.size();
}

}  // namespace

bool Like(std::string_view value, std::string_view pattern, std::optional<char32_t> escape, bool unicode) {
  std::vector<LikeToken> tokens = ParsePattern(pattern, escape);
  std::vector<char32_t> v = Decode(value);
  if (unicode) return MatchTokens(tokens, v, v.size());
  // Non-Unicode values may drop any number of their trailing blanks to match ('abc ' LIKE 'abc'),
  // but blanks the pattern asks for still match the value's own (' ' LIKE ' ', 'abc ' LIKE 'abc_').
  const size_t trimmed = Decode(detail::TrimRightBlanks(value)).size();
  for (size_t size = trimmed; size <= v.size(); ++size) {
    if (MatchTokens(tokens, v, size)) return true;
  }
  return false;
}

// ---- Windows-1252 -------------------------------------------------------------------------

namespace {
bool InCodePage1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return true;
  switch (c) {
    case 0x20AC:
    case 0x201A:
    case 0x0192:
    case 0x201E:
    case 0x2026:
    case 0x2020:
    case 0x2021:
    case 0x02C6:
    case 0x2030:
    case 0x0160:
    case 0x2039:
    case 0x0152:
    case 0x017D:
    case 0x2018:
    case 0x2019:
    case 0x201C:
    case 0x201D:
    case 0x2022:
    case 0x2013:
    case 0x2014:
    case 0x02DC:
    case 0x2122:
    case 0x0161:
    case 0x203A:
    case 0x0153:
    case 0x017E:
    case 0x0178:
      return true;
    default:
      return false;
  }
}
}  // namespace

std::string ToCodePage1252(std::string_view s) {
  if (!HasHighBit(s)) return std::string(s);
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    char32_t c = DecodeUtf8(s, i);
    if (InCodePage1252(c)) {
      AppendUtf8(out, c);
    } else if (c >= 0x100 && c < 0x180 && kLatinExtABase[c - 0x100] >= 'a') {
      // Best fit: the letter without its accent, keeping the case.
      char base = kLatinExtABase[c - 0x100];
      bool upper = LowerCp(c) != c;
      out += upper ? static_cast<char>(base - 32) : base;
    } else {
      out += '?';
    }
  }
  return out;
}

}  // namespace engine

namespace engine::detail {
char32_t FoldCase(char32_t c) { return LowerCp(c); }
}  // namespace engine::detail
