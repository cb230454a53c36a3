#include "batch/batch_jobs.h"

#include <algorithm>
#include <map>

#include "toolkit/toolkit.h"

void runjobs(std::vector<BatchJob>& jobs) {
  const int slots = std::max(1, IOsProcessorCount());
  std::map<int, BatchJob*> running;
  std::size_t next = 0;
  for (;;) {
    while (!IOsInterrupted() && static_cast<int>(running.size()) < slots && next < jobs.size()) {
      BatchJob& job = jobs[next++];
      if (job.before && !job.before()) continue;
      const int pid = IOsStartProgram(job.words, job.log);
      if (pid < 0) {
        job.after(kNotRun);
        continue;
      }
      running[pid] = &job;
    }
    if (running.empty()) break;
    int status = 0;
    const int pid = IOsWaitProgram(status);
    const auto it = running.find(pid);
    if (it == running.end()) {
      if (pid < 0) break;
      continue;
    }
    BatchJob& job = *it->second;
    running.erase(it);
    job.after(status);
  }
  for (; next < jobs.size(); ++next) jobs[next].after(kNotRun);
}
