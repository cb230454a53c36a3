// The local clock, this program's processor time and the processor count.
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include "toolkit/toolkit.h"

namespace {

// The clock the kernel stamps files with. The precise clock runs up to one
// tick ahead of it, so a start read from the precise clock just after a
// second boundary could be later than the stamp of a file written after it,
// and the output waits would ignore that file for ever.
struct tm LocalNow(int* milliseconds) {
  struct timespec now {};
  if (clock_gettime(CLOCK_REALTIME_COARSE, &now) != 0) clock_gettime(CLOCK_REALTIME, &now);
  struct tm local {};
  localtime_r(&now.tv_sec, &local);
  if (milliseconds) *milliseconds = static_cast<int>(now.tv_nsec / 1000000);
  return local;
}

float Seconds(const struct timeval& t) {
  return static_cast<float>(t.tv_sec) + static_cast<float>(t.tv_usec) * 1e-6f;
}

}  // namespace

void IOsDate(int& year, int& month, int& day) {
  const struct tm local = LocalNow(nullptr);
  year = local.tm_year + 1900;
  month = local.tm_mon + 1;
  day = local.tm_mday;
}

void IOsTime(int& hour, int& minute, int& second, int* milliseconds) {
  const struct tm local = LocalNow(milliseconds);
  hour = local.tm_hour;
  minute = local.tm_min;
  // A leap second reads as the 59th.
  second = local.tm_sec > 59 ? 59 : local.tm_sec;
}

void IOsProcessTimes(float& total, float& user, float& system) {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  user = Seconds(usage.ru_utime);
  system = Seconds(usage.ru_stime);
  total = user + system;
}

int IOsProcessorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<int>(count) : 1;
}
