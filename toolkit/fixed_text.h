// The toolkit's fixed-length text conventions: input texts lose their
// trailing blanks, output variables keep the length they came with.
#ifndef TIDECHARTER_TOOLKIT_FIXED_TEXT_H
#define TIDECHARTER_TOOLKIT_FIXED_TEXT_H

#include <string>

namespace toolkit {

// `text` without trailing blanks; an all-blank text gives "".
inline std::string TextWithoutTrailingBlanks(const std::string& text) {
  const std::string::size_type end = text.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// Stores `value` in the fixed-length variable `out`: truncated or padded
// with blanks to out.size().
inline void AssignFixed(std::string& out, const std::string& value) {
  const std::string::size_type length = out.size();
  out.assign(value, 0, length < value.size() ? length : value.size());
  out.resize(length, ' ');
}

}  // namespace toolkit

#endif
