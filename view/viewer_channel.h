// How `tidecharter-view DIR` hands a plot to the process that holds the
// plot windows of its drive root and display, starting that process when
// none runs. The socket lies in a directory of this user's alone
// ($XDG_RUNTIME_DIR/tidecharter, else $TMPDIR/tcview-UID), checked at every
// use, and each end checks that the other is this user's: another user of
// the machine can neither plant a socket nor hear where the plots are.
#ifndef TIDECHARTER_VIEW_VIEWER_CHANNEL_H
#define TIDECHARTER_VIEW_VIEWER_CHANNEL_H

#include <string>

// A request on the channel: "open DIR"; the answer: "shown", or "failed "
// and why.
struct ViewerChannel {
  int directory = -1;  // the private directory, open
  std::string path;    // its path, for messages
  std::string name;    // the socket's name in it, per drive root and display
};

// The channel of drive root `drive` on display `display`: false, with
// `problem` set, when the private directory cannot be trusted or made.
bool openchannel(const std::string& drive, const std::string& display, ViewerChannel& channel,
                 std::string& problem);

// A connection to the windows' process, checked to be this user's: the
// descriptor, or -1 when none listens.
int connectviewer(const ViewerChannel& channel, std::string& problem);

// A new listening socket in place of a stale one: the descriptor, or -1.
// The caller holds lockviewer's lock.
int listenviewer(const ViewerChannel& channel, std::string& problem);

// Removes the socket of `listening` if it is still the one in the
// directory (a newer process may have bound the name since).
void unlistenviewer(const ViewerChannel& channel, int listening);

// The lock under which a process is started for the channel: a
// descriptor to close when done, or -1.
int lockviewer(const ViewerChannel& channel);

// Whether connected peer `fd` runs as this user.
bool sameuser(int fd);

// One line from `fd` (without its newline), waiting at most `seconds`;
// false at end of input or time-out.
bool readline(int fd, std::string& line, int seconds);
// Writes the line whole; the caller ignores SIGPIPE.
bool writeline(int fd, const std::string& line);

#endif
