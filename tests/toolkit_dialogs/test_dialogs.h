// Small dialogs for the toolkit tests, shaped like the program's own: a
// main menu with its five-choice radio group, and a parameter dialog with
// menus, real-number fields, a fill-level group and the usual buttons.
#ifndef TIDECHARTER_TESTS_TOOLKIT_DIALOGS_TEST_DIALOGS_H
#define TIDECHARTER_TESTS_TOOLKIT_DIALOGS_TEST_DIALOGS_H

#include "toolkit/qt_access.h"

namespace testdialogs {

constexpr int kMenu = 901;
constexpr int kParameters = 902;

inline const char* const kMenuTemplate = R"(# main menu
DIALOG 901 305 240
TITLE "Test Main Menu"
FONT 10 "Arial"
CONTROL 1001 STATIC PICTURE 5 12 64 32 "banner"
CONTROL 1004 STATIC LEFT 80 16 169 12 "Welcome"
CONTROL 1070 BUTTON GROUPBOX 4 50 99 72 ""
CONTROL 1006 BUTTON RADIO|GROUP 8 55 84 14 "Map view"
CONTROL 1007 BUTTON RADIO 106 55 92 14 "Vertical section"
CONTROL 1008 BUTTON RADIO 204 55 85 14 "Time series"
CONTROL 1053 BUTTON RADIO 8 122 61 14 "Line drawing"
CONTROL 1087 BUTTON RADIO 106 122 73 14 "Derived products"
CONTROL 1068 STATIC PICTURE 10 70 88 46 "mapview"
CONTROL 1032 BUTTON PUSH|GROUP 4 202 40 14 "Help"
CONTROL 1 BUTTON PUSH 228 202 40 14 "OK"
CONTROL 1016 STATIC LEFT 4 226 95 8 ""
)";

inline const char* const kMenuData = "[Checks] \n1006    1 \n";

inline const char* const kParametersTemplate = R"(DIALOG 902 240 200
TITLE "Test Parameters"
FONT 8 "MS Sans Serif"
CONTROL 1052 COMBOBOX DROPDOWNLIST 60 4 154 96 ""
CONTROL 1010 COMBOBOX DROPDOWN 60 20 40 120 ""
CONTROL 1014 COMBOBOX DROPDOWNLIST 60 36 154 52 ""
CONTROL 1037 REALEDIT - 60 52 32 14 "65.00"
CONTROL 1038 REALEDIT - 100 52 32 14 "140.00"
CONTROL 1039 REALEDIT - 140 52 34 14 "40.000"
CONTROL 1040 REALEDIT - 180 52 34 14 ""
CONTROL 1030 COMBOBOX DROPDOWNLIST 60 70 50 116 ""
CONTROL 1031 COMBOBOX DROPDOWNLIST 120 70 50 116 ""
CONTROL 1045 LISTBOX - 60 88 60 30 ""
CONTROL 1073 BUTTON RADIO|GROUP 60 120 110 14 "Default levels"
CONTROL 1075 BUTTON RADIO 60 132 106 14 "Specify levels"
CONTROL 1077 EDIT - 60 148 144 14 ""
CONTROL 1078 STATIC LEFT 60 164 146 8 "hint"
CONTROL 1076 BUTTON PUSH|GROUP 40 180 40 14 "Create JPG"
CONTROL 1035 BUTTON DEFPUSH 84 180 40 14 "Plot"
CONTROL 1 BUTTON PUSH 128 180 40 14 "OK"
CONTROL 2 BUTTON PUSH 172 180 40 14 "Cancel"
)";

// [Lengths] between [Ranges] and [Formats] as in the vertical-section
// dialog; an end-year list of 13 items whose last line holds one blank.
inline const char* const kParametersData =
    "[Menus] \n"
    "1052    3  1 \n"
    "Temperature - Argo data \n"
    "Salinity - Argo data \n"
    "  Indented item   \n"
    "1010    4  1 \n"
    "0 \n"
    "100 \n"
    "1250 \n"
    "2000 \n"
    "1014    2  1 \n"
    "Property \n"
    "Anomaly from monthly mean \n"
    "1030    13  -999 \n"
    "2004 \n2005 \n2006 \n2007 \n2008 \n2009 \n2010 \n2011 \n2012 \n2013 \n2014 \n2015 \n"
    " \n"
    "1031    3  0 \n"
    "a \nb \nc \n"
    "1045    2  0 \n"
    "x \ny \n"
    "[Ranges] \n"
    "1037    0.0  70.0 \n"
    "1038    0  360 \n"
    "[Lengths] \n"
    "1077    44 \n"
    "[Formats] \n"
    "1037    (f5.2) \n"
    "1038    (f6.2) \n"
    "4242    (f5.2) \n"
    "[Checks] \n"
    "1073    1 \n"
    "4243    1 \n"
    "not an entry \n";

inline void Register() {
  toolkit::testing::SetDialogDefinition(kMenu, kMenuTemplate, kMenuData);
  toolkit::testing::SetDialogDefinition(kParameters, kParametersTemplate, kParametersData);
}

}  // namespace testdialogs

#endif
