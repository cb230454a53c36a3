#ifndef TIDECHARTER_PLOTS_USER_MESSAGE_H
#define TIDECHARTER_PLOTS_USER_MESSAGE_H

#include <string>

// A rejected request: OK button, exclamation icon, default button 1; two
// lines are joined by a carriage return.
void usermessage(const std::string& title, const std::string& line1,
                 const std::string& line2 = "");

#endif
