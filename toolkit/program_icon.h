// The program's icon as files for the desktop: drawn by the same code as the
// main menu's icon, as PNG pictures and as SVG.
#ifndef TIDECHARTER_TOOLKIT_PROGRAM_ICON_H
#define TIDECHARTER_TOOLKIT_PROGRAM_ICON_H

#include <string>

namespace toolkit {

// A `size` x `size` PNG picture; false when it cannot be written.
bool WriteProgramIconPng(const std::string& path, int size);
// An SVG file of `size` x `size` units; false when it cannot be written.
bool WriteProgramIconSvg(const std::string& path, int size);

}  // namespace toolkit

#endif
