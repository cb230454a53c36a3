#include "plots/user_message.h"

#include <utility>

#include "toolkit/toolkit.h"

namespace {
UserMessageSink& sink() {
  static UserMessageSink s;
  return s;
}
}  // namespace

void usermessage(const std::string& title, const std::string& line1,
                 const std::string& line2) {
  usermessage(UserMessage{title, line1, line2});
}

void usermessage(const UserMessage& message) {
  if (sink()) {
    sink()(message);
    return;
  }
  std::string text = message.line1;
  if (!message.line2.empty()) text += '\r' + message.line2;
  WMessageBox(0, 3, 1, text, message.title);
}

void setusermessagesink(UserMessageSink s) { sink() = std::move(s); }
