#include "toolkit/dialog_template.h"

#include <cerrno>
#include <cstdlib>
#include <utility>

namespace toolkit {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

struct Token {
  std::string text;
  bool quoted = false;
};

// Splits one line into blank-separated tokens and quoted texts ("" inside a
// text is one double quote).
bool tokenize(const std::string& line, std::vector<Token>& tokens, std::string& error) {
  std::size_t i = 0;
  while (i < line.size()) {
    if (isBlank(line[i])) {
      ++i;
      continue;
    }
    Token token;
    if (line[i] == '"') {
      token.quoted = true;
      ++i;
      for (;;) {
        if (i >= line.size()) {
          error = "text without its closing double quote";
          return false;
        }
        if (line[i] == '"') {
          if (i + 1 < line.size() && line[i + 1] == '"') {
            token.text += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        token.text += line[i++];
      }
      if (i < line.size() && !isBlank(line[i])) {
        error = "no blank after a quoted text";
        return false;
      }
    } else {
      while (i < line.size() && !isBlank(line[i])) token.text += line[i++];
    }
    tokens.push_back(std::move(token));
  }
  return true;
}

bool readInt(const Token& token, const char* what, int& value, std::string& error) {
  const std::string& s = token.text;
  char* end = nullptr;
  errno = 0;
  const long v = token.quoted || s.empty() ? 0 : std::strtol(s.c_str(), &end, 10);
  if (token.quoted || s.empty() || *end != '\0' || errno == ERANGE || v < -1000000 ||
      v > 1000000) {
    error = std::string(what) + " is not a number: \"" + s + "\"";
    return false;
  }
  value = static_cast<int>(v);
  return true;
}

bool readText(const Token& token, const char* what, std::string& value, std::string& error) {
  if (!token.quoted) {
    error = std::string(what) + " must be a quoted text";
    return false;
  }
  value = token.text;
  return true;
}

const std::pair<const char*, unsigned> kStyleWords[] = {
    {"PUSH", kStylePush},           {"DEFPUSH", kStyleDefPush},
    {"RADIO", kStyleRadio},         {"CHECKBOX", kStyleCheckBox},
    {"GROUPBOX", kStyleGroupBox},   {"GROUP", kStyleGroup},
    {"DISABLED", kStyleDisabled},   {"HIDDEN", kStyleHidden},
    {"LEFT", kStyleLeft},           {"CENTER", kStyleCenter},
    {"RIGHT", kStyleRight},         {"PICTURE", kStylePicture},
    {"ICON", kStyleIcon},           {"DROPDOWNLIST", kStyleDropDownList},
    {"DROPDOWN", kStyleDropDown},   {"MULTISEL", kStyleMultiSelect},
    {"READONLY", kStyleReadOnly},
};

bool readStyles(const Token& token, unsigned& styles, std::string& error) {
  styles = 0;
  if (!token.quoted && token.text == "-") return true;
  std::size_t start = 0;
  const std::string& s = token.text;
  for (;;) {
    const std::size_t bar = s.find('|', start);
    const std::string word = s.substr(start, bar == std::string::npos ? bar : bar - start);
    bool known = false;
    for (const auto& entry : kStyleWords) {
      if (word == entry.first) {
        styles |= entry.second;
        known = true;
      }
    }
    if (!known || token.quoted) {
      error = "unknown style \"" + word + "\"";
      return false;
    }
    if (bar == std::string::npos) return true;
    start = bar + 1;
  }
}

const char* const kClasses[] = {"BUTTON",      "STATIC",      "EDIT",      "REALEDIT",
                                "COMBOBOX",    "LISTBOX",     "INTEGEREDIT", "INTEGERSPIN",
                                "REALSPIN",    "DOUBLEEDIT",  "DOUBLESPIN"};

bool knownClass(const std::string& name) {
  for (const char* c : kClasses)
    if (name == c) return true;
  return false;
}

bool parseLine(const std::vector<Token>& t, int lineNumber, DialogTemplate& result,
               bool& haveDialog, std::string& error) {
  const std::string& keyword = t[0].text;
  auto count = [&](std::size_t n) {
    if (t.size() == n) return true;
    error = keyword + " takes " + std::to_string(n - 1) + " values, not " +
            std::to_string(t.size() - 1);
    return false;
  };
  if (t[0].quoted) {
    error = "a line must start with a keyword";
    return false;
  }
  if (keyword == "DIALOG") {
    if (haveDialog) {
      error = "a second DIALOG line";
      return false;
    }
    if (!count(4) || !readInt(t[1], "dialog id", result.id, error) ||
        !readInt(t[2], "width", result.width, error) ||
        !readInt(t[3], "height", result.height, error))
      return false;
    if (result.id <= 0 || result.width <= 0 || result.height <= 0) {
      error = "dialog id and size must be positive";
      return false;
    }
    haveDialog = true;
    return true;
  }
  if (!haveDialog) {
    error = keyword + " before the DIALOG line";
    return false;
  }
  if (keyword == "TITLE") return count(2) && readText(t[1], "title", result.title, error);
  if (keyword == "FONT") {
    if (!count(3) || !readInt(t[1], "font size", result.fontPoints, error) ||
        !readText(t[2], "font face", result.fontFace, error))
      return false;
    if (result.fontPoints <= 0) {
      error = "font size must be positive";
      return false;
    }
    return true;
  }
  if (keyword == "CONTROL") {
    TemplateControl c;
    c.line = lineNumber;
    // A trailing word names the field for the program's sources; the
    // dialog itself does not need it.
    const bool named = t.size() == 10;
    if (named && t[9].quoted) {
      error = "the field's name must not be quoted";
      return false;
    }
    if (!(named || count(9)) || !readInt(t[1], "field id", c.id, error)) return false;
    if (t[2].quoted || !knownClass(t[2].text)) {
      error = "unknown class \"" + t[2].text + "\"";
      return false;
    }
    c.className = t[2].text;
    if (!readStyles(t[3], c.styles, error) || !readInt(t[4], "x", c.x, error) ||
        !readInt(t[5], "y", c.y, error) || !readInt(t[6], "width", c.width, error) ||
        !readInt(t[7], "height", c.height, error) || !readText(t[8], "text", c.text, error))
      return false;
    if (c.width < 0 || c.height < 0) {
      error = "negative size";
      return false;
    }
    result.controls.push_back(std::move(c));
    return true;
  }
  error = "unknown keyword \"" + keyword + "\"";
  return false;
}

}  // namespace

FieldKind TemplateControl::kind() const {
  if (className == "BUTTON") {
    if (styles & kStyleRadio) return FieldKind::RadioButton;
    if (styles & kStyleCheckBox) return FieldKind::CheckBox;
    if (styles & kStyleGroupBox) return FieldKind::GroupBox;
    return FieldKind::PushButton;
  }
  if (className == "STATIC") {
    if (styles & kStylePicture) return FieldKind::Picture;
    if (styles & kStyleIcon) return FieldKind::Icon;
    return FieldKind::Label;
  }
  if (className == "EDIT") return FieldKind::TextEdit;
  if (className == "COMBOBOX")
    return (styles & kStyleDropDown) ? FieldKind::EditableDropDown : FieldKind::DropDownList;
  if (className == "LISTBOX") return FieldKind::ListBox;
  return FieldKind::NumericEdit;
}

bool ParseDialogTemplate(const std::string& text, DialogTemplate& result, std::string& error) {
  result = DialogTemplate();
  bool haveDialog = false;
  int lineNumber = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    ++lineNumber;
    start = end + 1;
    std::size_t first = 0;
    while (first < line.size() && isBlank(line[first])) ++first;
    if (first == line.size() || line[first] == '#') continue;
    std::vector<Token> tokens;
    std::string problem;
    if (!tokenize(line, tokens, problem) ||
        !parseLine(tokens, lineNumber, result, haveDialog, problem)) {
      error = "line " + std::to_string(lineNumber) + ": " + problem;
      return false;
    }
  }
  if (!haveDialog) {
    error = "no DIALOG line";
    return false;
  }
  return true;
}

}  // namespace toolkit
