/* usage: map_watch TITLE OUTFILE PROGRAM [ARG...]
 *
 * Starts PROGRAM and writes "MILLISECONDS PID" to OUTFILE when the first
 * window whose name contains TITLE is mapped on $DISPLAY: the time from the
 * start to the map event itself, with nothing polled.  Gives up after 60 s
 * (exit status 1).  The program is left running.
 */
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static long long now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (long long)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static int named(Display* display, Window window, const char* title) {
  char* name = NULL;
  int found = 0;
  if (XFetchName(display, window, &name) && name) {
    found = strstr(name, title) != NULL;
    XFree(name);
  }
  return found;
}

int main(int argc, char** argv) {
  if (argc < 4) {
    fprintf(stderr, "usage: map_watch TITLE OUTFILE PROGRAM [ARG...]\n");
    return 2;
  }
  Display* display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "map_watch: cannot open the display\n");
    return 1;
  }
  XSelectInput(display, DefaultRootWindow(display), SubstructureNotifyMask);
  XSync(display, False);
  alarm(60);

  const long long start = now_ms();
  const pid_t pid = fork();
  if (pid == 0) {
    close(ConnectionNumber(display));
    execvp(argv[3], argv + 3);
    _exit(127);
  }
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type == MapNotify && named(display, event.xmap.window, argv[1])) break;
  }
  const long long mapped = now_ms();
  FILE* out = fopen(argv[2], "w");
  if (!out) return 1;
  fprintf(out, "%lld %d\n", mapped - start, (int)pid);
  fclose(out);
  return 0;
}
