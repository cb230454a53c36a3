// The dialog definitions built into the executable (see resources/).
#ifndef TIDECHARTER_TOOLKIT_RESOURCE_STORE_H
#define TIDECHARTER_TOOLKIT_RESOURCE_STORE_H

#include <string>

// The template (extended false) or extended data (true) of dialog `id`.
bool FindDialogResource(int id, bool extended, std::string& text);

#endif
