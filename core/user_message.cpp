#include "core/user_message.h"

namespace {

std::string trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string messagetext(const UserMessage& message, char separator, bool trim) {
  const std::string line1 = trim ? trimmed(message.line1) : message.line1;
  const std::string line2 = trim ? trimmed(message.line2) : message.line2;
  if (line2.empty()) return line1;
  return line1 + separator + line2;
}
