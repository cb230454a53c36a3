// Dialog templates: the layout of one dialog as text (format in
// resources/README.md), read into plain data. No Qt here, so that the
// reader can be tested and fuzzed on its own.
#ifndef TIDECHARTER_TOOLKIT_DIALOG_TEMPLATE_H
#define TIDECHARTER_TOOLKIT_DIALOG_TEMPLATE_H

#include <string>
#include <vector>

namespace toolkit {

// Style words of a CONTROL line.
enum ControlStyle : unsigned {
  kStylePush = 1u << 0,
  kStyleDefPush = 1u << 1,
  kStyleRadio = 1u << 2,
  kStyleCheckBox = 1u << 3,
  kStyleGroupBox = 1u << 4,
  kStyleGroup = 1u << 5,
  kStyleDisabled = 1u << 6,
  kStyleHidden = 1u << 7,
  kStyleLeft = 1u << 8,
  kStyleCenter = 1u << 9,
  kStyleRight = 1u << 10,
  kStylePicture = 1u << 11,
  kStyleIcon = 1u << 12,
  kStyleDropDownList = 1u << 13,
  kStyleDropDown = 1u << 14,
  kStyleMultiSelect = 1u << 15,
  kStyleReadOnly = 1u << 16,
};

// What a field is, from its class and style.
enum class FieldKind {
  PushButton,
  RadioButton,
  CheckBox,
  GroupBox,
  Label,
  Picture,
  Icon,
  TextEdit,
  NumericEdit,
  DropDownList,      // closed list: the text shown is always an item
  EditableDropDown,  // list plus a text box
  ListBox,
};

struct TemplateControl {
  int id = 0;
  std::string className;  // "BUTTON", "REALEDIT", ...
  unsigned styles = 0;
  int x = 0, y = 0, width = 0, height = 0;  // dialog units
  std::string text;
  int line = 0;  // line of the template text, for messages
  FieldKind kind() const;
};

struct DialogTemplate {
  int id = 0;
  int width = 0, height = 0;  // dialog units
  std::string title;
  int fontPoints = 8;
  std::string fontFace = "MS Sans Serif";
  std::vector<TemplateControl> controls;  // template order
};

// Reads a template. On failure returns false with `error` naming the line
// number and what is wrong with it; nothing is dropped silently.
bool ParseDialogTemplate(const std::string& text, DialogTemplate& result, std::string& error);

}  // namespace toolkit

#endif
