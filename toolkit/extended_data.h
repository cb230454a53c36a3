// Extended dialog data: the text beside a template that fills menus and
// sets check marks, numeric ranges, output formats, fonts and text lengths.
// Read into plain data here (no Qt); the loader applies it to the fields.
#ifndef TIDECHARTER_TOOLKIT_EXTENDED_DATA_H
#define TIDECHARTER_TOOLKIT_EXTENDED_DATA_H

#include <string>
#include <vector>

namespace toolkit {

struct ExtendedData {
  struct Menu {
    int id = 0;
    int count = 0;    // as written; items may be fewer at the end of the text
    int initial = 0;  // 1..items.size() selects, anything else leaves none
    std::vector<std::string> items;
    int line = 0;
  };
  struct Check {
    int id = 0;
    int state = 0;
    int line = 0;
  };
  struct Range {
    int id = 0;
    double minimum = 0, maximum = 0;
    int line = 0;
  };
  struct Format {
    int id = 0;
    std::string format;
    int line = 0;
  };
  struct Font {
    int id = 0;
    int points = 0;
    std::string face;
    int weight = 400;
    bool italic = false;
    int line = 0;
  };
  struct Length {
    int id = 0;
    int length = 0;
    int line = 0;
  };
  std::vector<Menu> menus;
  std::vector<Check> checks;
  std::vector<Range> ranges;
  std::vector<Format> formats;
  std::vector<Font> fonts;
  std::vector<Length> lengths;
  // Entries that could not be read (ignored, reported by the loader).
  std::vector<int> malformedLines;
};

// Longest menu item kept; the rest of a longer line is dropped.
constexpr std::size_t kMaxMenuItemLength = 1024;

ExtendedData ParseExtendedData(const std::string& text);

}  // namespace toolkit

#endif
