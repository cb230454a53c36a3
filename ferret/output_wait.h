// Waiting for the output files of the JPG export, with the progress spinner.
#ifndef TIDECHARTER_FERRET_OUTPUT_WAIT_H
#define TIDECHARTER_FERRET_OUTPUT_WAIT_H

#include <string>

class RunLog;

// Wait status values.
enum WaitStatus { kWaitFinished = 0, kWaitGaveUp = 1, kWaitCancelled = 2 };

// Waits for the stage's file (1 metafile, 2 PostScript, 3 JPG) of output name
// `name` to be complete; `starttime` in seconds of the year. `writerEnded`
// says that the step's batch file has ended and left nothing running: a file
// written since the start is then complete at once, since the batch files
// put their outputs in place whole.
void isfilefinished(RunLog& log, const std::string& name, int stage,
                    int starttime, int& ierror, int multicore,
                    bool writerEnded = false);

// The quiet period Q in seconds: how long the size of a watched file must
// stay unchanged before it counts as finished.
int quietperiod(const std::string& name, int multicore);

// Puts the next character of "/\/\" into the stage's spinner field of the
// selected dialog and advances `position` (1..4).
void spinner(int stage, int& position);

#endif
