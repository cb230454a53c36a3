// Update status files (getup.log, runup.log) of any shape: every word is
// the first four columns of its line, blank-padded; lines beyond the words
// wanted are not read.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "update/update_files.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int wanted = data[0] % 5;  // 0 to 4: also more than the three words
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::istringstream in(text);
  const StatusWords words = readstatuswords(in, wanted);
  FUZZ_CHECK(words.lines >= 0 && words.lines <= 3 && words.lines <= wanted);

  std::istringstream again(text);
  std::string line;
  for (int k = 0; k < 3; ++k) {
    FUZZ_CHECK(words.word[k].size() == 4);
    if (k >= words.lines) {
      FUZZ_CHECK(words.word[k] == "    ");
      continue;
    }
    FUZZ_CHECK(static_cast<bool>(std::getline(again, line)));
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::string expected = line.substr(0, 4);
    expected.resize(4, ' ');
    FUZZ_CHECK(words.word[k] == expected);
  }
  // Fewer words than wanted only when the text ran out of lines.
  if (words.lines < wanted && words.lines < 3) FUZZ_CHECK(!std::getline(again, line));
  return 0;
}
