// The template reader: what a definition says, and that a broken line is
// refused with its line number instead of being dropped.
#include <gtest/gtest.h>

#include "toolkit/dialog_template.h"

namespace {

using toolkit::DialogTemplate;
using toolkit::FieldKind;

TEST(DialogTemplate, ReadsDialogAndControls) {
  const std::string text =
      "# comment\n"
      "\n"
      "DIALOG 105 218 270\n"
      "TITLE \"Vertical Section parameters - Tidecharter\"\n"
      "FONT 8 \"MS Sans Serif\"\n"
      "  CONTROL 1006 BUTTON RADIO|GROUP 8 55 84 14 \"Map view  (top view)\"\n"
      "CONTROL 1010 COMBOBOX DROPDOWN 106 52 38 131 \"\"\n"
      "CONTROL 1037 REALEDIT - 102 106 32 14 \"65.00\"\r\n"
      "CONTROL 1016 STATIC RIGHT 4 226 95 8 \"say \"\"hi\"\"\"\n"
      "CONTROL 1039 DOUBLESPIN DISABLED|HIDDEN 0 0 1 1 \"\"\n";
  DialogTemplate t;
  std::string error;
  ASSERT_TRUE(ParseDialogTemplate(text, t, error)) << error;
  EXPECT_EQ(t.id, 105);
  EXPECT_EQ(t.width, 218);
  EXPECT_EQ(t.height, 270);
  EXPECT_EQ(t.title, "Vertical Section parameters - Tidecharter");
  EXPECT_EQ(t.fontPoints, 8);
  EXPECT_EQ(t.fontFace, "MS Sans Serif");
  ASSERT_EQ(t.controls.size(), 5u);
  const auto& radio = t.controls[0];
  EXPECT_EQ(radio.kind(), FieldKind::RadioButton);
  EXPECT_EQ(radio.styles, toolkit::kStyleRadio | toolkit::kStyleGroup);
  EXPECT_EQ(radio.text, "Map view  (top view)");
  EXPECT_EQ(radio.line, 6);
  EXPECT_EQ(t.controls[1].kind(), FieldKind::EditableDropDown);
  EXPECT_EQ(t.controls[2].kind(), FieldKind::NumericEdit);
  EXPECT_EQ(t.controls[2].text, "65.00");
  EXPECT_EQ(t.controls[3].text, "say \"hi\"");
  EXPECT_EQ(t.controls[4].kind(), FieldKind::NumericEdit);
  EXPECT_EQ(t.controls[4].styles, toolkit::kStyleDisabled | toolkit::kStyleHidden);
}

TEST(DialogTemplate, KindsFromClassAndStyle) {
  const struct {
    const char* line;
    FieldKind kind;
  } cases[] = {
      {"CONTROL 1 BUTTON PUSH 0 0 1 1 \"\"", FieldKind::PushButton},
      {"CONTROL 1 BUTTON DEFPUSH 0 0 1 1 \"\"", FieldKind::PushButton},
      {"CONTROL 1 BUTTON CHECKBOX 0 0 1 1 \"\"", FieldKind::CheckBox},
      {"CONTROL 1 BUTTON GROUPBOX 0 0 1 1 \"\"", FieldKind::GroupBox},
      {"CONTROL 1 STATIC PICTURE 0 0 1 1 \"banner\"", FieldKind::Picture},
      {"CONTROL 1 STATIC ICON 0 0 1 1 \"program\"", FieldKind::Icon},
      {"CONTROL 1 STATIC CENTER 0 0 1 1 \"\"", FieldKind::Label},
      {"CONTROL 1 EDIT READONLY 0 0 1 1 \"\"", FieldKind::TextEdit},
      {"CONTROL 1 COMBOBOX DROPDOWNLIST 0 0 1 1 \"\"", FieldKind::DropDownList},
      {"CONTROL 1 LISTBOX MULTISEL 0 0 1 1 \"\"", FieldKind::ListBox},
      {"CONTROL 1 INTEGEREDIT - 0 0 1 1 \"\"", FieldKind::NumericEdit},
      {"CONTROL 1 BUTTON RADIO 0 0 1 1 \"x\" kNamedRadio", FieldKind::RadioButton},
  };
  for (const auto& c : cases) {
    DialogTemplate t;
    std::string error;
    ASSERT_TRUE(ParseDialogTemplate(std::string("DIALOG 1 10 10\n") + c.line, t, error))
        << c.line << ": " << error;
    EXPECT_EQ(t.controls.at(0).kind(), c.kind) << c.line;
  }
}

TEST(DialogTemplate, BrokenLinesAreRefusedWithTheirNumber) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"TITLE \"x\"\n", "line 1: TITLE before the DIALOG line"},
      {"DIALOG 1 10\n", "line 1: DIALOG takes 3 values, not 2"},
      {"DIALOG 1 10 10\n\nCONTROL 5 BUTTON PUSH 0 0 10 \"OK\"\n",
       "line 3: CONTROL takes 8 values, not 7"},
      {"DIALOG 1 10 10\nCONTROL 5 KNOB PUSH 0 0 10 10 \"\"\n", "line 2: unknown class \"KNOB\""},
      {"DIALOG 1 10 10\nCONTROL 5 BUTTON PUSH|ROUND 0 0 10 10 \"\"\n",
       "line 2: unknown style \"ROUND\""},
      {"DIALOG 1 10 10\nCONTROL 5 BUTTON PUSH 0 0 1O 10 \"\"\n",
       "line 2: width is not a number: \"1O\""},
      {"DIALOG 1 10 10\nCONTROL 5 BUTTON PUSH 0 0 10 10 \"OK\n",
       "line 2: text without its closing double quote"},
      {"DIALOG 1 10 10\nCONTROL 5 BUTTON PUSH 0 0 10 10 OK\n", "line 2: text must be a quoted text"},
      {"DIALOG 1 10 10\nCONTROL 5 BUTTON PUSH 0 0 10 10 \"OK\" \"kOk\"\n",
       "line 2: the field's name must not be quoted"},
      {"DIALOG 1 10 10\nCONTROL 5 BUTTON PUSH 0 0 10 10 \"OK\" kOk x\n",
       "line 2: CONTROL takes 8 values, not 10"},
      {"DIALOG 1 10 10\nFONT 8 MS\n", "line 2: font face must be a quoted text"},
      {"DIALOG 1 10 10\nSTYLE 5\n", "line 2: unknown keyword \"STYLE\""},
      {"# nothing\n", "no DIALOG line"},
  };
  for (const auto& c : cases) {
    DialogTemplate t;
    std::string error;
    EXPECT_FALSE(ParseDialogTemplate(c.text, t, error)) << c.text;
    EXPECT_EQ(error, c.error) << c.text;
  }
}

}  // namespace
