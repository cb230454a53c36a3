#include "locations/locations.h"

#include <cctype>
#include <climits>
#include <cstdlib>

#include "ferret/record.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

const char* const kPacificLocationFile = "c:\\tidecharter\\bin\\pacific\\TDC_city_locations.csv";
const char* const kGlobalLocationFile = "c:\\tidecharter\\bin\\global\\global_city_locations.csv";

namespace {

constexpr int kNameWidth = 34;

// Column widths of (A34,I6,I8,I8,I8,F12.2,F12.2,I11,I12).
constexpr int kWidths[] = {34, 6, 8, 8, 8, 12, 12, 11, 12};

// A numeric field as a formatted read sees it: blanks do not count, an
// all-blank field is zero.
std::string squeeze(const std::string& field) {
  std::string s;
  for (char c : field)
    if (c != ' ') s += c;
  return s;
}

bool digits(const std::string& s, size_t from, size_t to) {
  if (from >= to) return false;
  for (size_t i = from; i < to; ++i)
    if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
  return true;
}

// (Iw) input.
bool readInteger(const std::string& field, int& value) {
  const std::string s = squeeze(field);
  if (s.empty()) {
    value = 0;
    return true;
  }
  size_t start = (s[0] == '+' || s[0] == '-') ? 1 : 0;
  if (!digits(s, start, s.size())) return false;
  if (s.size() - start > 12) return false;
  long long v = std::strtoll(s.c_str(), nullptr, 10);
  if (v > INT_MAX || v < INT_MIN) return false;
  value = static_cast<int>(v);
  return true;
}

// (Fw.d) input: a field without a decimal point has d implied decimals.
bool readReal(const std::string& field, int decimals, float& value) {
  std::string s = squeeze(field);
  if (s.empty()) {
    value = 0.0f;
    return true;
  }
  size_t i = (s[0] == '+' || s[0] == '-') ? 1 : 0;
  const size_t mantStart = i;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  bool point = false;
  if (i < s.size() && s[i] == '.') {
    point = true;
    ++i;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  }
  const size_t mantEnd = i;
  const size_t mantDigits = mantEnd - mantStart - (point ? 1 : 0);
  if (mantDigits == 0) return false;
  long exponent = 0;
  if (i < s.size()) {
    // Exponent: E, D or Q with an optional sign, or a bare sign.
    char c = static_cast<char>(std::toupper(static_cast<unsigned char>(s[i])));
    if (c == 'E' || c == 'D' || c == 'Q') ++i;
    else if (c != '+' && c != '-') return false;
    size_t expStart = i;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (!digits(s, i, s.size()) || s.size() - i > 4) return false;
    exponent = std::strtol(s.substr(expStart).c_str(), nullptr, 10);
  }
  std::string number = s.substr(0, mantEnd) + "e" + std::to_string(exponent - (point ? 0 : decimals));
  value = std::strtof(number.c_str(), nullptr);
  return true;
}

}  // namespace

int readbuoy(std::istream& in, LocationTable& table) {
  table.records.clear();
  std::string line;
  while (table.ncity() < LocationTable::kMaxRecords && std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    // Users edit the file by hand: a line of blanks anywhere is no record.
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::string fields[9];
    size_t pos = 0;
    for (int k = 0; k < 9; ++k) {
      fields[k] = FormatA(pos < line.size() ? line.substr(pos, kWidths[k]) : std::string(), kWidths[k]);
      pos += kWidths[k];
    }
    LocationRecord r;
    r.cityname = fields[0];
    if (!readInteger(fields[1], r.latsouth) || !readInteger(fields[2], r.latnorth) ||
        !readInteger(fields[3], r.lonwest) || !readInteger(fields[4], r.loneast) ||
        !readReal(fields[5], 2, r.buoylat) || !readReal(fields[6], 2, r.buoylon) ||
        !readInteger(fields[7], r.spare1) || !readInteger(fields[8], r.spare2))
      break;
    table.records.push_back(r);
  }
  return table.ncity();
}

void buoyselect(const LocationTable& table, int index, const std::string& kind) {
  if (kind.compare(0, 4, "line") != 0) return;
  if (index < 1 || index > table.ncity()) return;
  const LocationRecord& r = table.records[index - 1];
  const std::vector<std::string> ns = {"N", "S"};
  const std::vector<std::string> ew = {"E", "W"};
  const float s = static_cast<float>(r.latsouth), n = static_cast<float>(r.latnorth);
  const float w = static_cast<float>(r.lonwest), e = static_cast<float>(r.loneast);
  WDialogPutReal(kPlotSouthBox, s < 0 ? -s : s);
  WDialogPutMenu(kPlotSouthLetterMenu, ns, 2, s >= 0 ? 1 : 2);
  WDialogPutReal(kPlotWestBox, w < 0 ? -w : w);
  WDialogPutMenu(kPlotWestLetterMenu, ew, 2, w >= 0 ? 1 : 2);
  WDialogPutReal(kPlotNorthBox, n < 0 ? -n : n);
  WDialogPutMenu(kPlotNorthLetterMenu, ns, 2, n >= 0 ? 1 : 2);
  WDialogPutReal(kPlotEastBox, e < 0 ? -e : e);
  WDialogPutMenu(kPlotEastLetterMenu, ew, 2, e >= 0 ? 1 : 2);
}

bool inwidenedbox(const LocationRecord& r, float lat, float lon) {
  const float margin = 0.8f;
  return static_cast<float>(r.latsouth) - margin <= lat && lat <= static_cast<float>(r.latnorth) + margin &&
         static_cast<float>(r.lonwest) - margin <= lon && lon <= static_cast<float>(r.loneast) + margin;
}

void buoycompare(const LocationTable& table, float lat, float lon, int ncity, int& found) {
  found = 0;
  const int last = ncity < table.ncity() ? ncity : table.ncity();
  for (int i = 2; i <= last; ++i) {
    if (inwidenedbox(table.records[i - 1], lat, lon)) {
      found = i;
      return;
    }
  }
}

void scancity(const LocationTable& table, int /*ncity*/, int index, std::string& name) {
  name.assign(kNameWidth, ' ');
  if (index < 1 || index > table.ncity()) return;
  const std::string& city = table.records[index - 1].cityname;
  // Ferret wants an apostrophe of a label doubled. A double quote would end
  // the quoted label and let the rest of the name run as commands, and
  // Ferret evaluates what stands between grave accents even inside quotes,
  // so both are written as an apostrophe, doubled like one. A backslash
  // escapes the character after it, the closing quote too, so it is written
  // as a slash.
  std::string out;
  for (char c : city) {
    if (c == '"' || c == '\'' || c == '`') out += "''";
    else if (c == '\\') out += '/';
    else out += c;
  }
  if (out.size() > static_cast<size_t>(kNameWidth)) {
    // Never cut a doubled apostrophe in half.
    size_t quotes = 0;
    for (size_t i = kNameWidth; i > 0 && out[i - 1] == '\''; --i) ++quotes;
    out.resize(kNameWidth);
    if (quotes % 2 == 1) out[kNameWidth - 1] = ' ';
  }
  name = FormatA(out, kNameWidth);
}
