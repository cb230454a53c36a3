// Fill-level texts go onto a Ferret go line as typed: anything accepted must
// hold nothing that could end the argument or start another command.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "plots/fill_levels.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (!filltextvalid(text)) return 0;
  const std::size_t end = text.find_last_not_of(' ');
  if (end == std::string::npos) return 0;  // all blank: the default levels
  const std::string typed = text.substr(0, end + 1);
  for (unsigned char c : typed) {
    FUZZ_CHECK(c != ' ' && c != ';' && c != '"' && c != '\n' && c != '!');
    FUZZ_CHECK(c > ' ' && c < 127);
  }
  // Parentheses balance: each group closes before the next opens.
  int depth = 0;
  for (char c : typed) {
    if (c == '(') ++depth;
    if (c == ')') --depth;
    FUZZ_CHECK(depth == 0 || depth == 1);
  }
  FUZZ_CHECK(depth == 0);
  FUZZ_CHECK(typed.front() == '(');
  return 0;
}
