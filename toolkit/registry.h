// The registry the program reads, emulated from the live machine.
//
// Keys answered:
//   HKEY_LOCAL_MACHINE\HARDWARE\DESCRIPTION\System\CentralProcessor\0
//       "ProcessorNameString" (1): "model name" of /proc/cpuinfo
//   HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\VIDEO
//       "\Device\Video0" (1): a settings key path whose characters 58 to
//       100 are the sub-key of kVideoSettingsKey below
//       HKEY_CURRENT_CONFIG\System\CurrentControlSet\Control\VIDEO
//   that settings key
//       "DefaultSettings.XResolution", "DefaultSettings.YResolution" (4):
//       the primary screen's size in pixels, present only while a Qt GUI
//       application exists
//
// Override file: when $TIDECHARTER_REGISTRY names a file, its lines are
// applied in order on top of the live values:
//   # comment                          (blank lines are ignored too)
//   <key>                              the key exists, with no values (any
//                                      values given before are removed)
//   <key>|<value name>|<type>|<data>   adds or replaces one value
// Type 1 and 2 data is the text up to the end of the line ("|" allowed);
// type 4 data is a 32-bit number, decimal or 0x-hexadecimal; any other type
// takes its data as pairs of hexadecimal digits ("0a1b"). Keys and value
// names are matched ignoring letter case; a key whose root is not one of the
// HKEY_... names, or a malformed line, is ignored.
#ifndef TIDECHARTER_TOOLKIT_REGISTRY_H
#define TIDECHARTER_TOOLKIT_REGISTRY_H

#include <map>
#include <string>

namespace toolkit {

// Where the emulated display adapter keeps its settings.
extern const char* const kVideoSettingsKey;

struct RegistryValue {
  int type = 0;
  std::string data;  // text without terminator, or the raw bytes
};

class Registry {
 public:
  // The live values with the override file applied.
  static Registry Current();

  // `key` starts with a root name; false when the root is unknown.
  bool setValue(const std::string& key, const std::string& name, int type,
                const std::string& data);
  bool clearKey(const std::string& key);
  // Applies one line of the override format; false when it is malformed.
  bool applyOverrideLine(const std::string& line);
  void applyOverrideFile(const std::string& path);

  // A key exists when it holds values or lies on the path to one.
  bool keyExists(const std::string& key) const;
  const RegistryValue* find(const std::string& key, const std::string& name) const;

 private:
  // Lower-case key path -> lower-case value name -> value.
  std::map<std::string, std::map<std::string, RegistryValue>> keys_;
};

// The canonical (upper-case) root name for `root`, or empty when `root` is
// not one of the predefined keys. Letter case is ignored.
std::string PredefinedRoot(const std::string& root);

}  // namespace toolkit

#endif
