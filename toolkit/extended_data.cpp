#include "toolkit/extended_data.h"

#include <cstring>

#include "toolkit/number_format.h"

namespace toolkit {
namespace {

enum class Section {
  None, Ranges, Menus, Checks, Tabs, Grids, Colours, Trackbars, Lengths, Dialog, Formats,
  Treeviews, Fonts, Flags,
};

const std::pair<const char*, Section> kHeaders[] = {
    {"[Ranges]", Section::Ranges},       {"[Menus]", Section::Menus},
    {"[Checks]", Section::Checks},       {"[Tabs]", Section::Tabs},
    {"[Grids]", Section::Grids},         {"[Colours]", Section::Colours},
    {"[Trackbars]", Section::Trackbars}, {"[Lengths]", Section::Lengths},
    {"[Dialog]", Section::Dialog},       {"[Formats]", Section::Formats},
    {"[Treeviews]", Section::Treeviews}, {"[Fonts]", Section::Fonts},
    {"[Flags]", Section::Flags},
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// One line of the text; a carriage return before the line feed belongs to
// the line ending, not to the line.
class Lines {
 public:
  explicit Lines(const std::string& text) : text_(text) {}
  bool next(std::string& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string::npos) end = text_.size();
    line = text_.substr(pos_, end - pos_);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    pos_ = end + 1;
    ++number_;
    return true;
  }
  int number() const { return number_; }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
  int number_ = 0;
};

void skipBlanks(const std::string& s, std::size_t& i) {
  while (i < s.size() && isBlank(s[i])) ++i;
}

bool readInteger(const std::string& s, std::size_t& i, int& value) {
  skipBlanks(s, i);
  bool negative = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
  const std::size_t start = i;
  long long v = 0;
  while (i < s.size() && isDigit(s[i])) {
    if (v < 100000000000LL) v = v * 10 + (s[i] - '0');
    ++i;
  }
  if (i == start) return false;
  if (v > 2147483647LL) v = 2147483647LL;
  value = static_cast<int>(negative ? -v : v);
  return true;
}

// One blank-delimited word read as a number.
bool readReal(const std::string& s, std::size_t& i, double& value) {
  skipBlanks(s, i);
  const std::size_t start = i;
  while (i < s.size() && !isBlank(s[i])) ++i;
  return i > start && ReadNumber(s.substr(start, i - start), value);
}

std::string withoutTrailingBlanks(std::string s) {
  while (!s.empty() && isBlank(s.back())) s.pop_back();
  return s;
}

}  // namespace

ExtendedData ParseExtendedData(const std::string& text) {
  ExtendedData data;
  Section section = Section::None;
  Lines lines(text);
  std::string line;
  while (lines.next(line)) {
    const int lineNumber = lines.number();
    std::size_t i = 0;
    skipBlanks(line, i);
    bool header = false;
    for (const auto& h : kHeaders) {
      if (line.compare(i, std::strlen(h.first), h.first) == 0) {
        section = h.second;
        header = true;
        break;
      }
    }
    if (header || section == Section::None) continue;
    if (i == line.size()) continue;  // a blank line is no entry

    // The field id: an optional '-' and digits, up to the first non-digit.
    bool negative = false;
    if (line[i] == '-') {
      negative = true;
      ++i;
    }
    const std::size_t digitsStart = i;
    long long id = 0;
    while (i < line.size() && isDigit(line[i])) {
      if (id < 100000000000LL) id = id * 10 + (line[i] - '0');
      ++i;
    }
    if (i == digitsStart || id > 2147483647LL) {
      data.malformedLines.push_back(lineNumber);
      continue;
    }
    const int field = static_cast<int>(negative ? -id : id);
    skipBlanks(line, i);

    bool ok = true;
    switch (section) {
      case Section::Checks: {
        ExtendedData::Check c{field, 0, lineNumber};
        ok = readInteger(line, i, c.state);
        if (ok) data.checks.push_back(c);
        break;
      }
      case Section::Menus: {
        ExtendedData::Menu m;
        m.id = field;
        m.line = lineNumber;
        ok = readInteger(line, i, m.count) && readInteger(line, i, m.initial);
        if (!ok) break;
        std::string item;
        for (int n = 0; n < m.count && lines.next(item); ++n) {
          if (item.size() > kMaxMenuItemLength) item.resize(kMaxMenuItemLength);
          while (!item.empty() && item.back() == ' ') item.pop_back();
          m.items.push_back(item);
        }
        data.menus.push_back(std::move(m));
        break;
      }
      case Section::Ranges: {
        ExtendedData::Range r{field, 0, 0, lineNumber};
        ok = readReal(line, i, r.minimum) && readReal(line, i, r.maximum);
        if (ok) data.ranges.push_back(r);
        break;
      }
      case Section::Formats: {
        ExtendedData::Format f{field, withoutTrailingBlanks(line.substr(i)), lineNumber};
        ok = !f.format.empty();
        if (ok) data.formats.push_back(f);
        break;
      }
      case Section::Fonts: {
        ExtendedData::Font f;
        f.id = field;
        f.line = lineNumber;
        int italic = 0;
        ok = readInteger(line, i, f.points);
        const std::size_t comma = ok ? line.find(',', i) : std::string::npos;
        ok = ok && comma != std::string::npos;
        if (!ok) break;
        std::size_t faceStart = i;
        skipBlanks(line, faceStart);
        f.face = withoutTrailingBlanks(line.substr(faceStart, comma - faceStart));
        i = comma + 1;
        ok = !f.face.empty() && readInteger(line, i, f.weight) && readInteger(line, i, italic);
        f.italic = italic == 1;
        if (ok) data.fonts.push_back(f);
        break;
      }
      case Section::Lengths: {
        ExtendedData::Length l{field, 0, lineNumber};
        ok = readInteger(line, i, l.length) && l.length >= 0;
        if (ok) data.lengths.push_back(l);
        break;
      }
      default:
        break;  // sections of field kinds this program does not have
    }
    if (!ok) data.malformedLines.push_back(lineNumber);
  }
  return data;
}

}  // namespace toolkit
