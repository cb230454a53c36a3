// Finding out, before Qt is started, whether there is a display at all:
// Qt would otherwise abort with a terse platform-plugin message.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "toolkit/toolkit.h"

namespace {

std::string envOrEmpty(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// A local X display ":N" or ":N.S" answers when its socket accepts.
bool localXServerAnswers(const std::string& display) {
  if (display.empty() || display[0] != ':') return true;  // remote: let Qt try
  const std::string number = display.substr(1, display.find('.') == std::string::npos
                                                   ? std::string::npos
                                                   : display.find('.') - 1);
  const std::string path = "/tmp/.X11-unix/X" + number;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
  const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(fd);
  return ok;
}

}  // namespace

bool IOsDisplayAvailable(std::string& reason) {
  const std::string platform = envOrEmpty("QT_QPA_PLATFORM");
  if (platform.rfind("offscreen", 0) == 0 || platform.rfind("minimal", 0) == 0 ||
      platform.rfind("vnc", 0) == 0)
    return true;
  if (!envOrEmpty("WAYLAND_DISPLAY").empty() && platform.rfind("xcb", 0) != 0) return true;
  const std::string display = envOrEmpty("DISPLAY");
  if (display.empty()) {
    reason = "no display: DISPLAY is not set";
    return false;
  }
  if (!localXServerAnswers(display)) {
    reason = "no X server answers on DISPLAY=" + display;
    return false;
  }
  return true;
}
