// For tests only: the real widgets behind the toolkit's identifiers, so
// that Qt Test can click and type on them, and the test hooks that replace
// the built-in dialog definitions. The program itself never includes this.
#ifndef TIDECHARTER_TOOLKIT_QT_ACCESS_H
#define TIDECHARTER_TOOLKIT_QT_ACCESS_H

#include <string>

class QDialog;
class QWidget;

namespace toolkit::testing {

// The window of the loaded dialog `dialogId`, or nullptr.
QDialog* DialogWidget(int dialogId);
// The widget of field `fieldId` in that dialog, or nullptr.
QWidget* FieldWidget(int dialogId, int fieldId);

// Dialog `id` is loaded from these texts instead of the built-in ones (an
// empty extended text means none).
void SetDialogDefinition(int id, const std::string& templateText,
                         const std::string& extendedText = "");
void ForgetDialogDefinitions();

// Forgets the messages WMessage would still return (a field-changed message
// put aside, or messages of one batch of events), so that a test starts
// clean.
void DropPendingMessages();

// True while the program waits in WMessage: only then does a press become a
// message, as a press made while the program is busy elsewhere is lost.
bool WaitingForMessage();

// How often the bell has sounded since the program started.
int BellCount();
// The answer of the last WMessageBox: 1 OK, Retry or Yes; 0 Cancel or
// Ignore; 2 Abort or No; -1 none.
int LastMessageBoxAnswer();

}  // namespace toolkit::testing

#endif
