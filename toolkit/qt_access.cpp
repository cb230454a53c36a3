#include "toolkit/qt_access.h"

#include "toolkit/dialog.h"
#include "toolkit/dialog_table.h"
#include "toolkit/message_hub.h"

namespace toolkit::testing {

QDialog* DialogWidget(int dialogId) { return FindDialog(dialogId); }

QWidget* FieldWidget(int dialogId, int fieldId) {
  Dialog* d = FindDialog(dialogId);
  Field* f = d ? d->field(fieldId) : nullptr;
  return f ? f->widget : nullptr;
}

void SetDialogDefinition(int id, const std::string& templateText,
                         const std::string& extendedText) {
  SetDialogResourceOverride(id, templateText, extendedText);
}

void ForgetDialogDefinitions() { ClearDialogResourceOverrides(); }

int BellCount() { return toolkit::BellCount(); }

}  // namespace toolkit::testing
