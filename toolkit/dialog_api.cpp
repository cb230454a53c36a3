// Field access on the current dialog (skeleton: no dialogs load yet).
#include "toolkit/error_slots.h"
#include "toolkit/toolkit.h"

namespace {
constexpr int kNoDialogSelected = 1005;
constexpr int kNoSuchTemplate = 1007;
constexpr int kCannotSelect = 1008;
void noDialog() { toolkit::RecordError(kNoDialogSelected); }
}  // namespace

void WDialogLoad(int, int) { toolkit::RecordError(kNoSuchTemplate); }
void WDialogSelect(int) { toolkit::RecordError(kCannotSelect); }
void WDialogShow(int, int, int, int) { noDialog(); }
void WDialogHide() {}
void WDialogPutString(int, const std::string&) { noDialog(); }
void WDialogGetString(int, std::string& text) { text.assign(text.size(), ' '); noDialog(); }
void WDialogPutReal(int, float, const std::string&) { noDialog(); }
void WDialogGetReal(int, float& value) { value = -999.0f; noDialog(); }
void WDialogGetInteger(int, int& value) { value = -999; noDialog(); }
void WDialogPutRadioButton(int) { noDialog(); }
void WDialogGetRadioButton(int, int& value) { value = -999; noDialog(); }
void WDialogPutMenu(int, const std::vector<std::string>&, int, int, const std::string*) { noDialog(); }
void WDialogGetMenu(int, int& value, std::string*) { value = -999; noDialog(); }
void WDialogFieldState(int, int) { noDialog(); }
