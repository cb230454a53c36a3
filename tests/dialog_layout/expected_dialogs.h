// What each of the dialogs must offer the application: title and the
// field identifiers the plot, update and main-menu procedures use. Kept
// here, apart from the resources, so that a field lost from a template is
// noticed.
#ifndef TIDECHARTER_TESTS_EXPECTED_DIALOGS_H
#define TIDECHARTER_TESTS_EXPECTED_DIALOGS_H

#include <string>
#include <vector>

struct ExpectedDialog {
  int id;
  std::string title;
  std::vector<int> fields;
};

inline const std::vector<ExpectedDialog>& ExpectedDialogs() {
  static const std::vector<ExpectedDialog> dialogs = {
      {101,
       "Pacific Tidecharter",
       {1001, 1004, 1013, 1006, 1007, 1008, 1053, 1087, 1070, 1071, 1072, 1050, 1021, 1068,
        1069, 2001, 2003, 2002, 2006, 1016, 1, 1002, 1074, 1032, 1088}},
      {108,
       "Global Argo Tidecharter",
       {1001, 1004, 1013, 1006, 1007, 1008, 1053, 1087, 1070, 1071, 1072, 1050, 1021,
        1068, 1069, 2001, 2003, 2002, 2006, 1016, 1, 1002, 1074, 1032, 1088, 102, 1003}},
      {103,
       "Map View Parameters - Tidecharter",
       {1004, 1005, 1052, 1009, 1034, 1031, 1011, 1033, 1012, 1013, 1014, 1015, 1037, 1017,
        1055, 1019, 1038, 1020, 1039, 1018, 1024, 1026, 1025, 1027, 1028, 1029, 1030, 1044,
        1045, 1056, 1057, 1059, 1058, 1060, 1048, 1073, 1075, 1077, 1078, 1076, 1035, 2}},
      {105,
       "Vertical Section parameters - Tidecharter",
       {1004, 1005, 1052, 1009, 1034, 1013, 1010, 1015, 1036, 1046, 1014, 1024, 1040,
        1041, 1037, 1017, 1038, 1020, 1039, 1018, 1055, 1019, 1061, 1062, 1064, 1065,
        1063, 1066, 1067, 1048, 1073, 1075, 1077, 1078, 1076, 1035, 2}},
      {104,
       "Time Series Parameters - Tidecharter",
       {1043, 1004, 1052, 1005, 1034, 1031, 1011, 1033, 1012, 1044, 1014, 1046, 1023,
        1047, 1009, 1037, 1017, 1038, 1020, 1039, 1018, 1055, 1019, 1015, 1026, 1025,
        1027, 1028, 1029, 1030, 1048, 1073, 1075, 1077, 1078, 1076, 1035, 2}},
      {109,
       "Line Drawing Parameters - Tidecharter",
       {1004, 1005, 1052, 1009, 1034, 1031, 1011, 1033, 1012, 1044, 1014, 1015, 1047,
        1046, 1023, 1037, 1017, 1038, 1020, 1039, 1018, 1055, 1019, 1024, 1026, 1025,
        1027, 1028, 1029, 1030, 1076, 1035, 2}},
      {110,
       "Derived product parameters-Tidecharter",
       {1004, 1005, 1052, 1009, 1031, 1033, 1034, 1011, 1012, 1013, 1014, 1015, 1037,
        1017, 1055, 1019, 1038, 1020, 1039, 1018, 1024, 1026, 1028, 1025, 1027, 1029,
        1030, 1044, 1045, 1048, 1073, 1075, 1077, 1078, 1035, 2, 1076}},
      {107,
       "Tidecharter",
       {1028, 1044, 1079, 1080, 1081, 1082, 1083, 1084, 1042, 1085, 1086, 1, 2}},
      {111,
       "Update Tidecharter",
       {1089, 1022, 1090, 1099, 1092, 1091, 1093, 1094, 1095, 1096, 1097, 1098, 1100,
        1101, 1102, 1103, 1}},
      {112, "Tidecharter", {1201, 1202, 1203, 1204, 1205, 1206}},
  };
  return dialogs;
}

#endif
