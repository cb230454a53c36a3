#include "plots/user_message.h"

#include "toolkit/toolkit.h"

void usermessage(const std::string& title, const std::string& line1,
                 const std::string& line2) {
  std::string text = line1;
  if (!line2.empty()) text += '\r' + line2;
  WMessageBox(0, 3, 1, text, title);
}
