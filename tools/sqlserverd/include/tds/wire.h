// Byte-level building blocks of the wire protocol: a little-endian writer that grows a buffer
// and a bounds-checked reader over a received message. Every read past the end throws
// ProtocolError, so no parser can be led outside its buffer by a declared length.
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tds {

using Bytes = std::vector<uint8_t>;

// Input that breaks the protocol (truncated, wrong lengths, unknown types): the connection that
// sent it is closed.
class ProtocolError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Writer {
 public:
  explicit Writer(Bytes& out) : out_(out) {}
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) { Le(v, 2); }
  void U32(uint32_t v) { Le(v, 4); }
  void U64(uint64_t v) { Le(v, 8); }
  void U16Be(uint16_t v) {
    out_.push_back(static_cast<uint8_t>(v >> 8));
    out_.push_back(static_cast<uint8_t>(v));
  }
  void Raw(std::span<const uint8_t> bytes) { out_.insert(out_.end(), bytes.begin(), bytes.end()); }
  // B_VARCHAR / US_VARCHAR: a count of UTF-16 code units, then UTF-16LE (cut to what the count
  // can say).
  void BVarChar(std::string_view utf8);
  void UsVarChar(std::string_view utf8);
  [[nodiscard]] size_t size() const { return out_.size(); }
  // Overwrites a 2-byte little-endian length written earlier at `at`.
  void PatchU16(size_t at, uint16_t v) {
    out_[at] = static_cast<uint8_t>(v);
    out_[at + 1] = static_cast<uint8_t>(v >> 8);
  }

 private:
  void Le(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
  Bytes& out_;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> data) : data_(data) {}
  uint8_t U8() { return Take(1)[0]; }
  uint16_t U16() { return static_cast<uint16_t>(Le(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Le(4)); }
  uint64_t U64() { return Le(8); }
  std::span<const uint8_t> Take(size_t n) {
    if (n > data_.size() - pos_) throw ProtocolError("message ends inside a field");
    std::span<const uint8_t> out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
  }
  // UTF-16LE text of `units` code units, returned as UTF-8.
  std::string Utf16(size_t units);
  std::string BVarChar() { return Utf16(U8()); }
  std::string UsVarChar() { return Utf16(U16()); }
  [[nodiscard]] size_t pos() const { return pos_; }
  [[nodiscard]] size_t remaining() const { return data_.size() - pos_; }
  [[nodiscard]] bool AtEnd() const { return pos_ == data_.size(); }
  void Seek(size_t pos) {
    if (pos > data_.size()) throw ProtocolError("offset beyond the message");
    pos_ = pos;
  }

 private:
  uint64_t Le(int n) {
    std::span<const uint8_t> b = Take(static_cast<size_t>(n));
    uint64_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = (v << 8) | b[static_cast<size_t>(i)];
    return v;
  }
  std::span<const uint8_t> data_;
  size_t pos_ = 0;
};

}  // namespace tds
