#include "ferret/output_wait.h"

#include "ferret/dates.h"
#include "ferret/run_log.h"
#include "resources/dialog_fields.h"
#include "toolkit/toolkit.h"

namespace {

const int kPollMs = 2000;
const long kPollLimit = 10000000;
const int kProgressDialog = 107;

int spinnerfield(int stage) {
  switch (stage) {
    case 1: return kJpgMetafileDone;
    case 2: return kJpgPostscriptDone;
    case 3: return kJpgJpgDone;
    default: return 0;
  }
}

std::string stagefile(const std::string& name, int stage) {
  const std::string n = name.substr(0, 4);
  switch (stage) {
    case 1: return "c:\\tidecharter\\tmp\\meta" + n;
    case 2: return "c:\\tidecharter\\tmp\\" + n + ".ps";
    default: return "c:\\tidecharter\\tmp\\" + n + ".jpg";
  }
}

// The clock as a count that stays ordered across the turn of the year.
long long clocknow(int* year = nullptr, int* secondsOfYear = nullptr) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, seconds = 0;
  IOsDate(y, mo, d);
  IOsTime(h, mi, s);
  dateinseconds(y, mo, d, h, mi, s, seconds);
  if (year) *year = y;
  if (secondsOfYear) *secondsOfYear = seconds;
  return absoluteseconds(y, seconds);
}

// The size of `file` (-1 when missing) and its write time on the clock count.
int fileinfo(const std::string& file, long long& written) {
  int info[9] = {0};
  IOsFileInfo(file, info, 8);
  if (info[0] < 0) return info[0];
  int writeSeconds = 0;
  dateinseconds(info[1], info[2], info[3], info[4], info[5], info[6], writeSeconds);
  written = absoluteseconds(info[1], writeSeconds);
  return info[0];
}

}  // namespace

int quietperiod(const std::string& name, int multicore) {
  const bool line = name.compare(0, 3, "lin") == 0;
  if (multicore == 0) return line ? 2 : 6;
  return line ? 1 : 2;
}

void spinner(int stage, int& position) {
  static const char kSpinner[] = "/\\/\\";
  if (position < 1 || position > 4) position = 1;
  const int field = spinnerfield(stage);
  if (field != 0) WDialogPutString(field, std::string(1, kSpinner[position - 1]));
  position = position % 4 + 1;
}

void isfilefinished(RunLog& log, const std::string& name, int stage,
                    int starttime, int& ierror, int multicore, bool writerEnded) {
  ierror = kWaitFinished;
  int position = 1;
  long polls = 0;
  bool sizeRemembered = false;
  bool quiet = false;
  int rememberedSize = 0;
  long long quietSince = 0;
  const int q = quietperiod(name, multicore);
  const std::string file = stagefile(name, stage);

  // The start time was read just before this call, possibly in the old
  // year; place it on the same count as the write and clock times.
  int nowYear = 0, nowSeconds = 0;
  clocknow(&nowYear, &nowSeconds);
  const long long start = absoluteseconds(yearofreading(starttime, nowYear, nowSeconds), starttime);

  if (writerEnded) {
    spinner(stage, position);
    long long written = 0;
    if (fileinfo(file, written) > 0 && written >= start) return;
  }

  for (;;) {
    WMessageTimer(kPollMs, 1);
    ++polls;
    spinner(stage, position);
    int itype = 0;
    MessageRecord message;
    WMessage(itype, message);

    if (itype == PushButton) {
      if (message.win == kProgressDialog &&
          (message.value1 == kCancelButton || message.value1 == kMainExitButton)) {
        ierror = kWaitCancelled;
        log.write("TRYING TO EXIT");
        log.flush();
        WDialogHide();
      }
      return;
    }
    if (itype != TimerExpired) return;

    long long written = 0;
    const int size = fileinfo(file, written);
    if (polls > kPollLimit) {
      ierror = kWaitGaveUp;
      return;
    }
    if (size <= 0 || written < start) continue;

    if (!sizeRemembered) {
      if (size > 10) {
        rememberedSize = size;
        sizeRemembered = true;
        continue;
      }
      return;  // a file of 1 to 10 bytes counts as finished at once
    }
    if (size != rememberedSize) {
      rememberedSize = size;
      quiet = false;
      continue;
    }
    const long long now = clocknow();
    if (!quiet) {
      quietSince = now;
      quiet = true;
      continue;
    }
    const long long elapsed = now >= quietSince ? now - quietSince : quietSince - now;
    if (elapsed >= q) return;
  }
}
