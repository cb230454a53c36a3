// IOsRegistryGet over a small emulated registry (see registry.h).
#include "toolkit/registry.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>

#include "toolkit/drive_paths.h"
#include "toolkit/error_slots.h"
#include "toolkit/toolkit.h"

namespace toolkit {

const char* const kVideoSettingsKey =
    "HKEY_CURRENT_CONFIG\\System\\CurrentControlSet\\Control\\VIDEO\\"
    "{5A3C1E2B-7F04-4C1D-9B6E-2D8F0A1C3E57}\\0000";

namespace {

constexpr int kInvalidRoot = 1050;
constexpr int kTooSmall = 1023;
constexpr int kText = 1;
constexpr int kExpandText = 2;
constexpr int kNumber = 4;

const char* const kProcessorKey =
    "HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
const char* const kVideoMapKey = "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\VIDEO";
// Characters 58 onward of this text are the settings sub-key, as the program
// expects of the display adapter's entry.
const char* const kVideo0Text =
    "\\Registry\\Machine\\System\\CurrentControlSet\\Control\\Video\\"
    "{5A3C1E2B-7F04-4C1D-9B6E-2D8F0A1C3E57}\\0000";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return std::tolower(c); });
  return text;
}

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return std::toupper(c); });
  return text;
}

// "ROOT\sub\key" with the sub-key in lower case, or empty for a bad root.
std::string NormalKey(const std::string& key) {
  const std::size_t slash = key.find('\\');
  const std::string root = PredefinedRoot(key.substr(0, slash));
  if (root.empty()) return root;
  if (slash == std::string::npos) return root;
  return root + "\\" + Lower(key.substr(slash + 1));
}

std::string NumberBytes(std::uint32_t number) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((number >> (8 * i)) & 0xff);
  return bytes;
}

bool HexBytes(const std::string& text, std::string& bytes) {
  if (text.size() % 2 != 0) return false;
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
        !std::isxdigit(static_cast<unsigned char>(text[i + 1])))
      return false;
    bytes += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
  }
  return true;
}

std::string ProcessorName() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) != 0) continue;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::size_t start = line.find_first_not_of(" \t", colon + 1);
    return start == std::string::npos ? std::string() : line.substr(start);
  }
  return std::string();
}

// The primary screen in device pixels, when a GUI application is running.
bool ScreenSize(int& width, int& height) {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return false;
  const double ratio = screen->devicePixelRatio();
  width = static_cast<int>(std::lround(screen->geometry().width() * ratio));
  height = static_cast<int>(std::lround(screen->geometry().height() * ratio));
  return true;
}

}  // namespace

std::string PredefinedRoot(const std::string& root) {
  static const char* const kRoots[] = {
      "HKEY_CLASSES_ROOT",     "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
      "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
  const std::string upper = Upper(root);
  for (const char* name : kRoots)
    if (upper == name) return upper;
  return std::string();
}

Registry Registry::Current() {
  Registry registry;
  const std::string cpu = ProcessorName();
  if (!cpu.empty()) registry.setValue(kProcessorKey, "ProcessorNameString", kText, cpu);
  registry.setValue(kVideoMapKey, "\\Device\\Video0", kText, kVideo0Text);
  int width = 0, height = 0;
  if (ScreenSize(width, height)) {
    registry.setValue(kVideoSettingsKey, "DefaultSettings.XResolution", kNumber,
                      NumberBytes(static_cast<std::uint32_t>(width)));
    registry.setValue(kVideoSettingsKey, "DefaultSettings.YResolution", kNumber,
                      NumberBytes(static_cast<std::uint32_t>(height)));
  } else {
    registry.clearKey(kVideoSettingsKey);
  }
  const std::string overrides = EnvironmentText("TIDECHARTER_REGISTRY");
  if (!overrides.empty()) registry.applyOverrideFile(overrides);
  return registry;
}

bool Registry::setValue(const std::string& key, const std::string& name, int type,
                        const std::string& data) {
  const std::string normal = NormalKey(key);
  if (normal.empty()) return false;
  keys_[normal][Lower(name)] = RegistryValue{type, data};
  return true;
}

bool Registry::clearKey(const std::string& key) {
  const std::string normal = NormalKey(key);
  if (normal.empty()) return false;
  keys_[normal].clear();
  return true;
}

bool Registry::applyOverrideLine(const std::string& rawLine) {
  std::string line = rawLine;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.find_first_not_of(" \t") == std::string::npos || line[0] == '#') return true;
  const std::size_t bar1 = line.find('|');
  if (bar1 == std::string::npos) return clearKey(line);
  const std::size_t bar2 = line.find('|', bar1 + 1);
  const std::size_t bar3 = bar2 == std::string::npos ? bar2 : line.find('|', bar2 + 1);
  if (bar3 == std::string::npos) return false;
  const std::string key = line.substr(0, bar1);
  const std::string name = line.substr(bar1 + 1, bar2 - bar1 - 1);
  const std::string typeText = line.substr(bar2 + 1, bar3 - bar2 - 1);
  const std::string data = line.substr(bar3 + 1);
  char* end = nullptr;
  const long type = std::strtol(typeText.c_str(), &end, 10);
  if (typeText.empty() || *end != '\0') return false;
  std::string bytes;
  if (type == kText || type == kExpandText) {
    bytes = data;
  } else if (type == kNumber) {
    const long long number = std::strtoll(data.c_str(), &end, 0);
    if (data.empty() || *end != '\0') return false;
    bytes = NumberBytes(static_cast<std::uint32_t>(number));
  } else if (!HexBytes(data, bytes)) {
    return false;
  }
  return setValue(key, name, static_cast<int>(type), bytes);
}

void Registry::applyOverrideFile(const std::string& path) {
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) applyOverrideLine(line);
}

bool Registry::keyExists(const std::string& key) const {
  const std::string normal = NormalKey(key);
  if (normal.empty()) return false;
  // A root, or a root with an empty sub-key, is always there.
  const std::size_t slash = normal.find('\\');
  if (slash == std::string::npos || slash + 1 == normal.size()) return true;
  if (keys_.count(normal)) return true;
  const std::string below = normal + "\\";
  auto next = keys_.lower_bound(below);
  return next != keys_.end() && next->first.compare(0, below.size(), below) == 0;
}

const RegistryValue* Registry::find(const std::string& key, const std::string& name) const {
  const auto k = keys_.find(NormalKey(key));
  if (k == keys_.end()) return nullptr;
  const auto v = k->second.find(Lower(name));
  return v == k->second.end() ? nullptr : &v->second;
}

}  // namespace toolkit

void IOsRegistryGet(const std::string& keyPath, std::string& value,
                    const std::string& valueName, int* type, int* length) {
  int foundType = -1;
  int foundLength = 0;
  auto store = [&] {
    if (type) *type = foundType;
    if (length) *length = foundLength;
  };
  const std::string key = toolkit::TrimTrailingBlanks(keyPath);
  const std::size_t slash = key.find('\\');
  if (slash == std::string::npos) return store();
  if (toolkit::PredefinedRoot(key.substr(0, slash)).empty()) {
    toolkit::RecordError(toolkit::kInvalidRoot);
    return store();
  }
  const toolkit::Registry registry = toolkit::Registry::Current();
  if (!registry.keyExists(key)) {
    value.assign(value.size(), ' ');
    return store();
  }
  const toolkit::RegistryValue* found =
      registry.find(key, toolkit::TrimTrailingBlanks(valueName));
  if (!found) {
    foundType = -2;
    value.assign(value.size(), ' ');
    return store();
  }
  foundType = found->type;
  foundLength = static_cast<int>(found->data.size());
  if (found->data.size() > value.size()) toolkit::RecordError(toolkit::kTooSmall);
  // Text is blank-padded; other data is copied byte for byte, the rest of
  // the variable blank.
  std::string filled = found->data.substr(0, value.size());
  filled.resize(value.size(), ' ');
  value = filled;
  store();
}
