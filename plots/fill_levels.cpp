#include "plots/fill_levels.h"

#include <cctype>

#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

void filllevelcheck(int property, int previousProperty, const std::string& hint) {
  int item = 0;
  WDialogGetRadioButton(kPlotDefaultLevelsRadio, item);
  if (item == 2 && property == previousProperty) {
    WDialogFieldState(kPlotLevelsBox, 1);
    WDialogPutString(kPlotLevelsHint, hint);
    return;
  }
  if (item == 2) WDialogPutRadioButton(kPlotDefaultLevelsRadio);
  WDialogFieldState(kPlotLevelsBox, 0);
  WDialogPutString(kPlotLevelsHint, std::string(44, ' '));
}

namespace {

bool groupCharacter(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) || c == ',' || c == '+' ||
         c == '-' || c == '.' || c == 'e' || c == 'E';
}

bool isInf(const std::string& s, size_t i) {
  if (i + 3 > s.size()) return false;
  return std::tolower(static_cast<unsigned char>(s[i])) == 'i' &&
         std::tolower(static_cast<unsigned char>(s[i + 1])) == 'n' &&
         std::tolower(static_cast<unsigned char>(s[i + 2])) == 'f';
}

}  // namespace

bool filltextvalid(const std::string& text) {
  size_t end = text.find_last_not_of(' ');
  if (end == std::string::npos) return true;
  const std::string s = text.substr(0, end + 1);
  size_t i = 0;
  int groups = 0;
  while (i < s.size()) {
    if (s[i] != '(') return false;
    ++i;
    size_t start = i;
    while (i < s.size() && s[i] != ')') {
      if (isInf(s, i)) {
        i += 3;
      } else if (groupCharacter(s[i])) {
        ++i;
      } else {
        return false;
      }
    }
    if (i >= s.size() || i == start) return false;
    ++i;  // ')'
    if (i < s.size() && (s[i] == 'C' || s[i] == 'D' || s[i] == 'c' || s[i] == 'd')) ++i;
    ++groups;
  }
  return groups > 0;
}

std::optional<UserMessage> readfilltext(std::string& fill) {
  fill.assign(44, ' ');
  int item = 0;
  WDialogGetRadioButton(kPlotDefaultLevelsRadio, item);
  if (item != 2) return std::nullopt;
  std::string typed(44, ' ');
  WDialogGetString(kPlotLevelsBox, typed);
  if (!filltextvalid(typed)) {
    return UserMessage{"Input Error", "Fill levels must be groups like (8,22,2)(22,32,1):",
                       "numbers, commas and parentheses only, no spaces."};
  }
  fill = typed;
  return std::nullopt;
}
