// The five error slots and InfoError. Reporting modes above 0 also show
// each error as it is recorded; the window part of the toolkit installs the
// display for the modes that need a window.
#include "toolkit/error_slots.h"

#include <cstdio>

#include "toolkit/error_text.h"
#include "toolkit/toolkit.h"

namespace toolkit {
namespace {

int lastError = 0;      // slot 1
int fileOsError = 0;    // slot 2
int startOsError = 0;   // slot 3
int reportingMode = 0;  // slot 4
int fileErrorKind = 0;  // slot 5
int previousResult = 0;
ErrorDisplay windowDisplay = nullptr;

void show(int code) {
  if (reportingMode <= 0) return;
  const std::string line = ErrorLine(code);
  if (reportingMode == 1) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  } else if (reportingMode == 2) {
    if (std::FILE* f = std::fopen("tidecharter_toolkit_debug.txt", "a")) {
      std::fprintf(f, "%s\n", line.c_str());
      std::fclose(f);
    }
  } else if (windowDisplay) {
    windowDisplay(reportingMode, line);
  } else {
    std::fprintf(stderr, "%s\n", line.c_str());
  }
}

}  // namespace

void RecordError(int code) {
  lastError = code;
  show(code);
}

void RecordFileError(int osCode, int kind) {
  fileOsError = osCode;
  fileErrorKind = kind;
}

void RecordStartError(int osCode) { startOsError = osCode; }

void ResetErrors(int mode) {
  lastError = fileOsError = startOsError = fileErrorKind = 0;
  reportingMode = mode;
}

void SetErrorDisplay(ErrorDisplay display) { windowDisplay = display; }

std::string ErrorLine(int code) {
  const char* text = ErrorText(code);
  char line[160];
  std::snprintf(line, sizeof line, "Toolkit error %d: %s", code,
                text ? text : "Unknown error");
  return line;
}

const char* ErrorText(int code) {
  switch (code) {
    case 13: return "Operating system error";
    case 18: return "Numeric to string conversion error";
    case 23: return "No program name specified to IOsExecute";
    case 1004: return "General error in common dialog";
    case 1005: return "No dialog currently selected";
    case 1006: return "Invalid field identifier";
    case 1007: return "Dialog not present in resource - unable to load";
    case 1008: return "Unable to select specified dialog";
    case 1009: return "Attempt to store an out of range dialog field value";
    case 1010: return "Field value undefined";
    case 1011: return "Option number out of range or invalid item ID";
    case 1014: return "Invalid dialog mode requested";
    case 1016: return "Unable to display window/dialog. Parent window hidden";
    case 1023: return "Variable too small to receive text";
    case 1034: return "External process timed out before completion";
    case 1050: return "Invalid pre-defined registry key";
    case 1069: return "Cannot hide or unload a sub-dialog";
    case 1087: return "Too many dialogs";
    case 1088: return "Error during dialog creation";
    default: return nullptr;
  }
}

}  // namespace toolkit

int InfoError(int kind) {
  using namespace toolkit;
  switch (kind) {
    case 1: previousResult = lastError; lastError = 0; break;
    case 2: previousResult = fileOsError; fileOsError = 0; break;
    case 3: previousResult = startOsError; startOsError = 0; break;
    case 4: previousResult = reportingMode; break;
    case 5: previousResult = fileErrorKind; break;
    default: break;
  }
  return previousResult;
}
