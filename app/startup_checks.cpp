#include "app/startup_checks.h"

#include <fstream>

#include "ferret/record.h"
#include "ferret/run_log.h"
#include "toolkit/toolkit.h"

namespace {

// Fortran-style position of `word` in `text`: 1-based, 0 when absent.
int position(const std::string& text, const std::string& word) {
  const std::string::size_type at = text.find(word);
  return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

int littleendian(const std::string& bytes) {
  unsigned int value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return static_cast<int>(value);
}

}  // namespace

std::string xservercheck() {
  int digit = 0;
  std::string word = "unkn";

  std::ifstream xwininfo(IOsHostPath("c:\\tidecharter\\bin\\xwininfo.txt"));
  std::string first;
  if (xwininfo && readfixed(xwininfo, 1, first) && first[0] >= '0' && first[0] <= '9')
    digit = first[0] - '0';

  IOsCommand("c:\\tidecharter\\bin\\tcLookForX.bat " + std::string(1, static_cast<char>('0' + digit)),
             3, 4);
  xwininfo.close();
  InfoError(1);

  std::ifstream batchlog(IOsHostPath("c:\\tidecharter\\tmp\\batch.log"));
  std::string read;
  if (batchlog && readfixed(batchlog, 4, read)) word = read;

  if (word == "HAVE") {
    WMessageBox(0, 3, 1,
                std::string("Please be sure your X server is running.  If") + '\r' +
                    "you fail to get a plot while running the Tidecharter" + '\r' +
                    "it is likely due to no running X server.",
                "X Window Information");
  }
  return word;
}

void getscreenres(int& ixres, int& iyres) {
  std::string video(100, ' ');
  IOsRegistryGet("HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\VIDEO", video, "\\Device\\Video0");
  video.resize(100, ' ');
  const std::string settings =
      FormatA("HKEY_CURRENT_CONFIG\\System\\CurrentControlSet\\Control\\VIDEO\\" + video.substr(57, 43), 108);

  std::string value(4, ' ');
  int type = -1;
  IOsRegistryGet(settings, value, "DefaultSettings.XResolution", &type);
  if (type == 4 && value.size() >= 4) ixres = littleendian(value);
  value.assign(4, ' ');
  type = -1;
  IOsRegistryGet(settings, value, "DefaultSettings.YResolution", &type);
  if (type == 4 && value.size() >= 4) iyres = littleendian(value);
}

void logscreenres(RunLog& log, int ixres, int iyres) {
  log.write(ListRecord().add("Screen resolution: ixres=").add(ixres).add(" iyres=").add(iyres));
}

void getcpu(int& flag, RunLog& log) {
  flag = 0;
  std::string name(100, ' ');
  int type = -1;
  IOsRegistryGet("HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", name,
                 "ProcessorNameString", &type);
  if (type != 1) return;
  name = FormatA(name, 100);
  log.write(ListRecord().add("CPU type=").add(name));
  flag = position(name, "Duo");
  log.write(ListRecord().add("Duo ierror=").add(flag));
  if (flag != 0) return;
  flag = position(name, "ual");
  log.write(ListRecord().add("ual ierror=").add(flag));
  if (flag != 0) return;
  flag = position(name, "Quad");
  log.write(ListRecord().add("Quad ierror=").add(flag));
}

int multicoreflag(int getcpuflag) {
  return (getcpuflag != 0 || IOsProcessorCount() > 1) ? 1 : 0;
}

void myadd(float& sum, float value) { sum += value; }

void bench() {
  float sum = 0.0f;
  int k = 1907;
  float r = 5813.0f;
  for (int i = 0; i < 1200000; ++i) {
    k = (k * 27611) % 74383;
    const float x = static_cast<float>(k) * 1.34439e-05f;
    r = r * 1307.0f;
    r = r - static_cast<float>(5471 * static_cast<int>(r * 0.000182782f));
    const float y = r * 0.000182782f;
    myadd(sum, x * x + y * y);
  }
  // Keeps the computation from being optimised away; the sum is not used.
  [[maybe_unused]] static volatile float sink;
  sink = sum;
}

ProcessTimes readprocesstimes() {
  ProcessTimes t;
  IOsProcessTimes(t.total, t.user, t.system);
  return t;
}

void logbench(RunLog& log, const ProcessTimes& before, const ProcessTimes& after) {
  log.write("cpu bench test:");
  log.write(ListRecord()
                .add("real time=").add(after.total - before.total)
                .add(" user time=").add(after.user - before.user)
                .add("system time=").add(after.system - before.system));
}
