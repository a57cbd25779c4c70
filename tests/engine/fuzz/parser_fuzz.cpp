// Fuzz target for the lexer and parser: any text must either parse or be rejected with an
// SqlError. Anything else (a crash, a sanitizer report, another exception, a hang) is a bug.
// Built for libFuzzer with clang (target parser_fuzz) and, for every compiler, with
// standalone_driver.cpp (target parser_fuzz_standalone, ctest parser_fuzz_smoke).
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/engine.h"
#include "parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    engine::Parse(text);
  } catch (const engine::SqlError&) {
    // Rejecting the text is a correct answer; only how it is rejected is under test.
  }
  return 0;
}
