#include "toolkit/dialog_table.h"

#include <algorithm>
#include <map>
#include <utility>

#include "toolkit/dialog.h"
#include "toolkit/resource_store.h"

namespace toolkit {
namespace {

std::vector<Dialog*> dialogs;
Dialog* current = nullptr;
std::map<int, std::pair<std::string, std::string>> overrides;

}  // namespace

std::vector<Dialog*>& LoadedDialogs() { return dialogs; }
Dialog* CurrentDialog() { return current; }
void SetCurrentDialog(Dialog* dialog) { current = dialog; }

Dialog* FindDialog(int dialogId) {
  for (Dialog* d : dialogs)
    if (d->id() == dialogId) return d;
  return nullptr;
}

void UnloadDialog(Dialog* dialog) {
  if (current == dialog) current = nullptr;
  dialogs.erase(std::remove(dialogs.begin(), dialogs.end(), dialog), dialogs.end());
  dialog->hide();
  delete dialog;
}

void UnloadAllDialogs() {
  current = nullptr;
  std::vector<Dialog*> doomed;
  doomed.swap(dialogs);
  for (Dialog* d : doomed) {
    d->hide();
    delete d;
  }
}

bool DialogResource(int id, bool extended, std::string& text) {
  const auto it = overrides.find(id);
  if (it != overrides.end()) {
    text = extended ? it->second.second : it->second.first;
    return !text.empty();
  }
  return FindDialogResource(id, extended, text);
}

void SetDialogResourceOverride(int id, const std::string& templateText,
                               const std::string& extendedText) {
  overrides[id] = {templateText, extendedText};
}

void ClearDialogResourceOverrides() { overrides.clear(); }

}  // namespace toolkit
