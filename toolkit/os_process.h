// Starting and reaping the outside programs run by IOsCommand, IOsExecute
// and IOsStartProgram.
#ifndef TIDECHARTER_TOOLKIT_OS_PROCESS_H
#define TIDECHARTER_TOOLKIT_OS_PROCESS_H

#include <string>
#include <vector>

namespace toolkit {

// Starts `command` (blank-separated words, trailing blanks ignored) in a
// session of its own with stdin on /dev/null and no descriptor above 2;
// `hidden` also sends stdout and stderr to /dev/null. Returns the process
// id, or -1 with the errno value in `osError` when the program cannot be
// started. The program word may be a c:\ or /cygdrive/c/ path, any other
// path, or a bare name looked up on PATH; ".bat" files and other files
// without execute permission run under /bin/sh.
int StartCommand(const std::string& command, bool hidden, int& osError);

// Starts the program `words[0]` with the arguments that follow, each passed
// whole, in a session of its own. Standard output and error go to the host
// file `outputFile` (replaced). An interrupt or termination of this program
// ends it too. Returns the process id, or -1 with errno in `osError`.
int StartProgram(const std::vector<std::string>& words, const std::string& outputFile,
                 int& osError);

// Waits until one of the programs StartProgram started ends and reaps it:
// its process id, with `exitCode` its exit status (128 + the signal when it
// was killed); -1 when none is left. With `milliseconds` >= 0 it waits at
// most that long and returns 0 when none has ended.
int WaitForProgram(int& exitCode, long long milliseconds = -1);

// An interrupt, termination or hang-up while programs StartProgram started
// are running ends them and is noted instead of ending this program at once,
// so that it can remove what it made; WindUpOnInterrupt notes it always.
// EndingSignal is the noted signal (0: none); EndAsInterrupted ends this
// program as that signal would have (nothing when none was noted).
void WindUpOnInterrupt();
int EndingSignal();
void EndAsInterrupted();

enum class WaitOutcome { Exited, TimedOut, Failed };

// Waits up to `milliseconds` (negative: without limit) for child `pid` and
// reaps it when it ends. `osError` receives errno on failure.
WaitOutcome WaitForChild(int pid, long long milliseconds, int& osError);

// True while a process of session `sid` other than a zombie is still
// running: something a batch file started in the background and left at
// work after it ended.
bool SessionRunning(int sid);

// Hands a child that nobody waits for to the reaper, which collects it at
// the next IOsCommand and, while a Qt application exists, every second.
void AdoptChild(int pid);

// Reaps the adopted children that have ended; returns how many remain.
int ReapAdoptedChildren();

}  // namespace toolkit

#endif
