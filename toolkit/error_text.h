// Texts of the toolkit's error codes and the display hook for the
// reporting modes that need a window (internal to the toolkit).
#ifndef TIDECHARTER_TOOLKIT_ERROR_TEXT_H
#define TIDECHARTER_TOOLKIT_ERROR_TEXT_H

#include <string>

namespace toolkit {

// The text of `code`, or nullptr for a code without one.
const char* ErrorText(int code);
// "Toolkit error <code>: <text>", the line shown in reporting modes 1 to 4.
std::string ErrorLine(int code);

// Shows `line` for reporting mode 3 (status line) or 4 (message box).
using ErrorDisplay = void (*)(int mode, const std::string& line);
void SetErrorDisplay(ErrorDisplay display);

}  // namespace toolkit

#endif
