// Dialog templates of any shape: the reader either refuses with a message
// naming the problem, or returns a template the loader can build from.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "toolkit/dialog_template.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  toolkit::DialogTemplate result;
  std::string error;
  if (!toolkit::ParseDialogTemplate(text, result, error)) {
    FUZZ_CHECK(!error.empty());
    FUZZ_CHECK(error.compare(0, 5, "line ") == 0 || error == "no DIALOG line");
    return 0;
  }
  FUZZ_CHECK(error.empty());
  FUZZ_CHECK(result.id > 0 && result.width > 0 && result.height > 0);
  FUZZ_CHECK(result.fontPoints > 0);
  int lines = 1;
  for (char c : text) lines += c == '\n';
  for (const auto& control : result.controls) {
    FUZZ_CHECK(control.width >= 0 && control.height >= 0);
    FUZZ_CHECK(!control.className.empty());
    FUZZ_CHECK(control.line >= 1 && control.line <= lines);
    const toolkit::FieldKind kind = control.kind();
    if (control.className != "BUTTON")
      FUZZ_CHECK(kind != toolkit::FieldKind::PushButton &&
                 kind != toolkit::FieldKind::RadioButton);
  }
  return 0;
}
