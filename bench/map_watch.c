/* usage: map_watch TITLE OUTFILE PROGRAM [ARG...]
 *        map_watch --names SECONDS OUTFILE PROGRAM [ARG...]
 *
 * Starts PROGRAM and writes "MILLISECONDS PID" to OUTFILE when the first
 * window whose name contains TITLE is mapped on $DISPLAY, or an existing
 * window is renamed to such a name: the time from the start to the event
 * itself, with nothing polled.  Gives up after 60 s (exit status 1).
 * With --names it instead writes "MILLISECONDS NAME" for every map and
 * every rename of a window during SECONDS.  The program is left running.
 * Run it without a window manager: the windows are then the root's
 * children.
 */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <sys/select.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static long long now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

/* The window's name, or "" (the caller frees it unless "").  */
static char* name_of(Display* display, Window window) {
  XTextProperty text;
  char** list = NULL;
  int count = 0;
  static char none[] = "";
  if (!XGetWMName(display, window, &text) || !text.value) return none;
  char* name = none;
  if (Xutf8TextPropertyToTextList(display, &text, &list, &count) == Success && count > 0) {
    name = strdup(list[0]);
    XFreeStringList(list);
  }
  XFree(text.value);
  return name;
}

static void watch_names(Display* display, Window window) {
  XSelectInput(display, window, PropertyChangeMask);
}

static int ignore_errors(Display* display, XErrorEvent* error) {
  (void)display;
  (void)error;
  return 0;
}

int main(int argc, char** argv) {
  int names = argc > 1 && strcmp(argv[1], "--names") == 0;
  if (argc < 4 + names) {
    fprintf(stderr, "usage: map_watch TITLE OUTFILE PROGRAM [ARG...]\n"
                    "       map_watch --names SECONDS OUTFILE PROGRAM [ARG...]\n");
    return 2;
  }
  const char* title = names ? NULL : argv[1];
  const long long seconds = names ? atoll(argv[2]) : 60;
  const char* outfile = argv[2 + names];
  char** program = argv + 3 + names;
  Display* display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "map_watch: cannot open the display\n");
    return 1;
  }
  XSetErrorHandler(ignore_errors);
  Atom net_name = XInternAtom(display, "_NET_WM_NAME", False);
  Window root = DefaultRootWindow(display), parent, *children = NULL;
  unsigned int count = 0;
  XSelectInput(display, root, SubstructureNotifyMask);
  if (XQueryTree(display, root, &root, &parent, &children, &count)) {
    for (unsigned int i = 0; i < count; i++) watch_names(display, children[i]);
    if (children) XFree(children);
  }
  XSync(display, False);
  FILE* out = fopen(outfile, "w");
  if (!out) return 1;
  alarm((unsigned)seconds + 1);

  const long long start = now_ms();
  const pid_t pid = fork();
  if (pid == 0) {
    close(ConnectionNumber(display));
    execvp(program[0], program);
    _exit(127);
  }
  while (now_ms() - start < seconds * 1000) {
    if (!XPending(display)) {
      fd_set ready;
      FD_ZERO(&ready);
      FD_SET(ConnectionNumber(display), &ready);
      struct timeval wait = {0, 100000};
      select(ConnectionNumber(display) + 1, &ready, NULL, NULL, &wait);
      continue;
    }
    XEvent event;
    XNextEvent(display, &event);
    Window window = 0;
    if (event.type == CreateNotify) watch_names(display, event.xcreatewindow.window);
    if (event.type == MapNotify) window = event.xmap.window;
    if (event.type == PropertyNotify &&
        (event.xproperty.atom == XA_WM_NAME || event.xproperty.atom == net_name))
      window = event.xproperty.window;
    if (!window) continue;
    char* name = name_of(display, window);
    const long long at = now_ms() - start;
    if (names && *name) {
      fprintf(out, "%lld %s\n", at, name);
      fflush(out);
    }
    const int found = !names && strstr(name, title) != NULL;
    if (*name) free(name);
    if (found) {
      fprintf(out, "%lld %d\n", at, (int)pid);
      fclose(out);
      return 0;
    }
  }
  fclose(out);
  return names ? 0 : 1;
}
