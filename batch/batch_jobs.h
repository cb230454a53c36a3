// The programs a batch run starts (Ferret's pictures, the range passes, the
// animations), side by side: one per processor at a time.
#ifndef TIDECHARTER_BATCH_BATCH_JOBS_H
#define TIDECHARTER_BATCH_BATCH_JOBS_H

#include <functional>
#include <string>
#include <vector>

struct BatchJob {
  std::vector<std::string> words;  // the program and its arguments
  std::string log;                 // its standard output and error
  // Before it starts; false leaves it out (the reason said by it).
  std::function<bool()> before;
  // Once it ended, with its exit status; kNotRun when it was never started.
  std::function<void(int status)> after;
};

constexpr int kNotRun = -1;

// Runs the jobs in order, as many at a time as there are processors; after
// an interrupt it starts none, and those left get kNotRun.
void runjobs(std::vector<BatchJob>& jobs);

#endif
