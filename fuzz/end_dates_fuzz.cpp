// End-date files of any shape: the reading gives the missing-file value 100
// or the four-column integer of line 3, and nothing else in the file counts.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "update/end_dates.h"

namespace {

int readtext(const std::string& text) {
  std::istringstream in(text);
  return readenddate(in);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const int enddate = readtext(text);
  FUZZ_CHECK(enddate >= -999 && enddate <= 9999);

  std::istringstream in(text);
  std::string line;
  int lines = 0;
  while (lines < 3 && std::getline(in, line)) ++lines;
  if (lines < 3) {
    FUZZ_CHECK(enddate == 100);
    return 0;
  }
  // The same columns 24 to 27 under other first lines and other text
  // around them read the same.
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::string field = line.size() > 23 ? line.substr(23, 4) : std::string();
  field.resize(4, ' ');
  const int alone = readtext("GetDates\r\n\n" + std::string(23, '#') + field + "9\nx");
  FUZZ_CHECK(alone == enddate);
  if (enddate != 100) FUZZ_CHECK(field.find_first_of("0123456789") != std::string::npos);
  return 0;
}
