#ifndef TIDECHARTER_CORE_USER_MESSAGE_H
#define TIDECHARTER_CORE_USER_MESSAGE_H

#include <string>

// Why a request was refused: the title and one or two lines of the message
// box the desktop program shows (FrontEnd::message).
struct UserMessage {
  std::string title;
  std::string line1;
  std::string line2;
};

// The lines joined by `separator` (a carriage return in a message box),
// blanks at either end of each line dropped when `trim` is set.
std::string messagetext(const UserMessage& message, char separator, bool trim = false);

#endif
