// The loaded dialogs and the current one (at most 100, kept for the whole
// run until WindowClose). Internal to the toolkit.
#ifndef TIDECHARTER_TOOLKIT_DIALOG_TABLE_H
#define TIDECHARTER_TOOLKIT_DIALOG_TABLE_H

#include <string>
#include <vector>

namespace toolkit {

class Dialog;

constexpr int kMaxDialogs = 100;

std::vector<Dialog*>& LoadedDialogs();
Dialog* CurrentDialog();
void SetCurrentDialog(Dialog* dialog);
Dialog* FindDialog(int dialogId);
// Deletes one dialog; when it was current, none is afterwards.
void UnloadDialog(Dialog* dialog);
// Deletes every dialog; none is current afterwards.
void UnloadAllDialogs();

// The template (extended false) or extended data of dialog `id`: a text
// registered for tests, else the definitions built into the program.
bool DialogResource(int id, bool extended, std::string& text);
void SetDialogResourceOverride(int id, const std::string& templateText,
                               const std::string& extendedText);
void ClearDialogResourceOverrides();

}  // namespace toolkit

#endif
