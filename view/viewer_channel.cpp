#include "view/viewer_channel.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

std::string privatepath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  struct stat info {};
  if (runtime && runtime[0] == '/' && lstat(runtime, &info) == 0 && S_ISDIR(info.st_mode) &&
      info.st_uid == getuid() && !(info.st_mode & 077))
    return std::string(runtime) + "/tidecharter";
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/tcview-" + std::to_string(getuid());
}

// The socket's address through the opened directory: a later swap of the
// directory's path cannot redirect it, and it stays short.
bool address(const ViewerChannel& channel, sockaddr_un& where) {
  const std::string path = "/proc/self/fd/" + std::to_string(channel.directory) + "/" + channel.name;
  if (path.size() >= sizeof where.sun_path) return false;
  where = {};
  where.sun_family = AF_UNIX;
  std::memcpy(where.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

bool openchannel(const std::string& drive, const std::string& display, ViewerChannel& channel,
                 std::string& problem) {
  channel.path = privatepath();
  if (mkdir(channel.path.c_str(), 0700) != 0 && errno != EEXIST) {
    problem = "cannot make " + channel.path + ": " + std::strerror(errno);
    return false;
  }
  channel.directory = open(channel.path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  struct stat info {};
  if (channel.directory < 0 || fstat(channel.directory, &info) != 0) {
    problem = channel.path + " is not a directory (a link?)";
    return false;
  }
  if (info.st_uid != getuid() || (info.st_mode & 077)) {
    problem = channel.path + " is another user's or open to others";
    close(channel.directory);
    channel.directory = -1;
    return false;
  }
  // FNV-1a: the same name from every build of the viewer.
  unsigned long long hash = 14695981039346656037ull;
  for (const unsigned char c : drive + '\n' + display) hash = (hash ^ c) * 1099511628211ull;
  char key[17];
  std::snprintf(key, sizeof key, "%016llx", hash);
  channel.name = std::string("view-") + key;
  return true;
}

bool sameuser(int fd) {
  ucred peer {};
  socklen_t size = sizeof peer;
  return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid();
}

int connectviewer(const ViewerChannel& channel, std::string& problem) {
  sockaddr_un where;
  if (!address(channel, where)) return -1;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0) {
    close(fd);
    return -1;
  }
  if (!sameuser(fd)) {
    problem = channel.path + "/" + channel.name + " is served by another user";
    close(fd);
    return -1;
  }
  return fd;
}

int lockviewer(const ViewerChannel& channel) {
  const int fd = openat(channel.directory, (channel.name + ".lock").c_str(),
                        O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd >= 0) flock(fd, LOCK_EX);
  return fd;
}

int listenviewer(const ViewerChannel& channel, std::string& problem) {
  sockaddr_un where;
  if (!address(channel, where)) return -1;
  unlinkat(channel.directory, channel.name.c_str(), 0);
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&where), sizeof where) != 0 || listen(fd, 16) != 0) {
    problem = "cannot listen at " + channel.path + "/" + channel.name + ": " + std::strerror(errno);
    if (fd >= 0) close(fd);
    return -1;
  }
  return fd;
}

void unlistenviewer(const ViewerChannel& channel, int listening) {
  struct stat mine {}, named {};
  if (fstat(listening, &mine) == 0 && fstatat(channel.directory, channel.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
      mine.st_ino == named.st_ino && mine.st_dev == named.st_dev)
    unlinkat(channel.directory, channel.name.c_str(), 0);
}

bool readline(int fd, std::string& line, int seconds) {
  line.clear();
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    const int ready = poll(&p, 1, seconds * 1000);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char c;
    const ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (c == '\n') return true;
    line += c;
    if (line.size() > 65536) return false;
  }
}

bool writeline(int fd, const std::string& line) {
  const std::string text = line + "\n";
  size_t at = 0;
  while (at < text.size()) {
    const ssize_t put = write(fd, text.data() + at, text.size() - at);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    at += static_cast<size_t>(put);
  }
  return true;
}
