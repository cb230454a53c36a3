// Extended dialog data of any shape: the reader must not crash, and what it
// keeps must be what the loader can apply as is.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "toolkit/extended_data.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const toolkit::ExtendedData parsed = toolkit::ParseExtendedData(text);

  for (const auto& menu : parsed.menus) {
    FUZZ_CHECK(menu.count >= 0 || menu.items.empty());
    FUZZ_CHECK(menu.items.size() <= static_cast<std::size_t>(menu.count < 0 ? 0 : menu.count));
    for (const std::string& item : menu.items) {
      FUZZ_CHECK(item.size() <= toolkit::kMaxMenuItemLength);
      FUZZ_CHECK(item.find('\n') == std::string::npos);
      FUZZ_CHECK(item.empty() || item.back() != ' ');
    }
  }
  for (const auto& format : parsed.formats) {
    FUZZ_CHECK(!format.format.empty());
    FUZZ_CHECK(format.format.back() != ' ' && format.format.back() != '\t');
  }
  for (const auto& font : parsed.fonts) {
    FUZZ_CHECK(!font.face.empty());
    FUZZ_CHECK(font.face.find(',') == std::string::npos);
  }
  for (const auto& length : parsed.lengths) FUZZ_CHECK(length.length >= 0);

  // Every entry names a line of the text.
  int lines = 1;
  for (char c : text) lines += c == '\n';
  auto inText = [&](int line) { return line >= 1 && line <= lines; };
  for (const auto& m : parsed.menus) FUZZ_CHECK(inText(m.line));
  for (const auto& c : parsed.checks) FUZZ_CHECK(inText(c.line));
  for (const auto& r : parsed.ranges) FUZZ_CHECK(inText(r.line));
  for (int line : parsed.malformedLines) FUZZ_CHECK(inText(line));
  return 0;
}
