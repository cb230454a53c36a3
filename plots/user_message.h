#ifndef TIDECHARTER_PLOTS_USER_MESSAGE_H
#define TIDECHARTER_PLOTS_USER_MESSAGE_H

#include <functional>
#include <string>

// The title and one or two lines of a message box shown to the user.
struct UserMessage {
  std::string title;
  std::string line1;
  std::string line2;
};

// A rejected request: OK button, exclamation icon, default button 1; two
// lines are joined by a carriage return.
void usermessage(const std::string& title, const std::string& line1,
                 const std::string& line2 = "");
void usermessage(const UserMessage& message);

// Tests route messages here instead of a modal box; an empty sink restores
// the message box.
using UserMessageSink = std::function<void(const UserMessage&)>;
void setusermessagesink(UserMessageSink sink);

#endif
