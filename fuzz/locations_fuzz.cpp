// Location files of any shape: at most 50 records of fixed layout, and
// every name comes out of scancity safe to put between double quotes in a
// Ferret label.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fuzz/fuzz_check.h"
#include "locations/locations.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  LocationTable table;
  const int ncity = readbuoy(in, table);
  FUZZ_CHECK(ncity >= 0 && ncity <= LocationTable::kMaxRecords);
  FUZZ_CHECK(ncity == table.ncity());

  for (int index = 0; index <= ncity + 1; ++index) {
    if (index >= 1 && index <= ncity)
      FUZZ_CHECK(table.records[index - 1].cityname.size() == 34);
    std::string name = "x";
    scancity(table, ncity, index, name);
    FUZZ_CHECK(name.size() == 34);
    FUZZ_CHECK(name.find_first_of("\"`\\") == std::string::npos);
    // Apostrophes come in doubled pairs only.
    std::size_t run = 0;
    for (std::size_t i = 0; i <= name.size(); ++i) {
      if (i < name.size() && name[i] == '\'') {
        ++run;
        continue;
      }
      FUZZ_CHECK(run % 2 == 0);
      run = 0;
    }
  }

  // The centre of a box is found, at that record or an earlier one; record
  // 1, the menu's prompt row, never.
  for (int i = 1; i <= ncity; ++i) {
    const LocationRecord& r = table.records[i - 1];
    if (r.latsouth > r.latnorth || r.lonwest > r.loneast) continue;
    const float lat = static_cast<float>((static_cast<double>(r.latsouth) + r.latnorth) / 2);
    const float lon = static_cast<float>((static_cast<double>(r.lonwest) + r.loneast) / 2);
    int found = -1;
    buoycompare(table, lat, lon, ncity, found);
    if (i == 1) FUZZ_CHECK(found != 1);
    else FUZZ_CHECK(found >= 2 && found <= i);
  }
  return 0;
}
