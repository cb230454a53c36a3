// The dialog toolkit: the only interface the application has to windows,
// dialogs, messages and operating-system services. No Qt type appears here;
// everything behind it lives in toolkit/.
//
// Calling conventions:
//  * Text arguments are blank-padded; trailing blanks of an input text are
//    not part of the text.
//  * An output text parameter is a fixed-length variable: its size() when the
//    call is made is its length. The result is truncated or blank-padded to
//    that length (a caller wanting a 44-character text passes
//    std::string(44, ' ')).
//  * Errors never stop the program: they are recorded in the error slots and
//    read with InfoError().
#ifndef TIDECHARTER_TOOLKIT_H
#define TIDECHARTER_TOOLKIT_H

#include <string>
#include <vector>

// ---------------------------------------------------------------- messages
// Message types delivered by WMessage.
enum ToolkitMessageType {
  KeyPressed = 1,
  MenuSelect = 2,
  PushButton = 3,
  MouseButDown = 4,
  MouseButUp = 5,
  MouseMove = 6,
  Expose = 7,
  Resize = 8,
  CloseRequest = 9,
  FieldChanged = 10,
  TimerExpired = 13,
};

// The twelve-word message record; values a type does not fill are -1.
struct MessageRecord {
  int win = -1;     // dialog identifier (or window index)
  int value1 = -1;  // e.g. push button identifier, previous field
  int value2 = -1;  // e.g. last reported field, current field
  int value3 = -1;
  int value4 = -1;
  int x = -1;
  int y = -1;
  int extra[5] = {-1, -1, -1, -1, -1};
};

// ------------------------------------------------------- start and windows
void WInitialise(const std::string* initfile = nullptr);
// Starts the toolkit without a display, for runs without a user: dialogs
// load, fill and read as usual but are drawn nowhere, and a message box
// prints its title and text on standard error instead of waiting for an
// answer. Called instead of WInitialise, before anything else.
void WInitialiseHeadless();
// flags 128 keeps the root window hidden (the only use here).
void WindowOpen(int flags);
void WindowClose();

void WMessage(int& itype, MessageRecord& message);
void WMessageEnable(int type, int state);
// delay <= 0 cancels the timer; flag 1 attaches it to the client area.
void WMessageTimer(int delayMs, int timerId = 1, int flag = 0);
// buttons 0..5, icon 1..4, default button 1..3; lines joined by '\r'.
void WMessageBox(int buttons, int icon, int defaultButton,
                 const std::string& text, const std::string& title);
// kind 1..5; kinds 1 to 3 are reset by the call.
int InfoError(int kind);

// ---------------------------------------------------------------- dialogs
void WDialogLoad(int dialogId, int newId = 0);
void WDialogSelect(int dialogId);
// x, y screen pixels of the top-left corner, -1 centres; focus 0 = the
// dialog's own choice; mode 1 modal, 2 modeless, 3 semi-modeless.
void WDialogShow(int x = -1, int y = -1, int focusField = 0, int mode = 2);
void WDialogHide();
// Unloads the current dialog; a later WDialogLoad of it starts afresh.
void WDialogUnload();

void WDialogPutString(int field, const std::string& text);
void WDialogGetString(int field, std::string& text);
// format "(fW.D)" or empty for the field's own (default "(G15.5E2)").
void WDialogPutReal(int field, float value, const std::string& format = "");
void WDialogGetReal(int field, float& value);
void WDialogGetInteger(int field, int& value);
void WDialogPutRadioButton(int field);
void WDialogGetRadioButton(int field, int& value);
// Replaces the items with the first `count` elements of `items` and selects
// item `selected` (1-based). `text` is used for an editable drop-down with
// selected 0.
void WDialogPutMenu(int field, const std::vector<std::string>& items,
                    int count, int selected, const std::string* text = nullptr);
void WDialogGetMenu(int field, int& value, std::string* text = nullptr);
// The items of menu `field`, in order, without trailing blanks.
void WDialogGetMenuItems(int field, std::vector<std::string>& items);
// 0 disabled, 1 enabled, 2 read-only, 3 hidden.
void WDialogFieldState(int field, int state);

// --------------------------------------------------- operating system
// flags: 1 hidden, 2 wait. timeoutSeconds < 0 means no time-out given.
// A command beginning with a c:\ or /cygdrive/c/ path runs the mapped host
// file; a ".bat" (or any non-executable script) runs under /bin/sh.
void IOsCommand(const std::string& command, int flags = 0,
                int timeoutSeconds = -1);
// Starts a program and returns at once, for running several side by side:
// `words` are the program (a c:\ or /cygdrive/c/ path, or a host path) and
// its arguments, each passed whole, blanks and all. It reads nothing; its
// standard output and error go to the host file `outputFile`. Returns its
// process id, or -1 when it cannot be started (the error is recorded).
int IOsStartProgram(const std::vector<std::string>& words, const std::string& outputFile);
// Waits until one of the programs IOsStartProgram started ends: returns its
// process id and sets `exitCode` (128 + the signal when it was killed);
// -1 when none is running. With `timeoutMs` >= 0 it waits at most that long
// and returns 0 when none has ended by then.
int IOsWaitProgram(int& exitCode, int timeoutMs = -1);
// An interrupt (or a termination or hang-up) while programs IOsStartProgram
// started are running ends them, and is noted instead of ending this program
// at once: IOsInterrupted() gives the signal (0: none), the program removes
// what it made and then calls IOsEndAsInterrupted(), which ends it as the
// signal would have. IOsWindUpOnInterrupt() notes every such signal, also
// while none of those programs runs. IOsStartProgram starts nothing once one
// was noted.
void IOsWindUpOnInterrupt();
int IOsInterrupted();
void IOsEndAsInterrupted();
// Closes every window, starts the command and ends the program.
void IOsExecute(const std::string& command);
// `value` is a fixed-length variable (see above). type -1: key not opened,
// -2: value absent; 1 text, 4 32-bit number.
void IOsRegistryGet(const std::string& keyPath, std::string& value,
                    const std::string& valueName, int* type = nullptr,
                    int* length = nullptr);
// info[0..8]: size in bytes (-1 when missing), year, month, day, hour,
// minute, second, attributes, size in KB rounded up. Fills `count` elements.
void IOsFileInfo(const std::string& fileName, int info[9], int count);
void IOsDate(int& year, int& month, int& day);
void IOsTime(int& hour, int& minute, int& second, int* milliseconds = nullptr);
// Waits `hundredths` of a second while dispatching window messages.
void IOsWait(int hundredths);

// Operating-system facts the program asks for directly.
// Processor time of this program in seconds: total, user, system.
void IOsProcessTimes(float& total, float& user, float& system);
// Number of logical processors the machine reports.
int IOsProcessorCount();
// True when the last IOsCommand that waited saw its process end within the
// time-out and leave nothing of its own running in the background: whatever
// the command was to write is then written.
bool IOsCommandEnded();
// Maps a program path ("c:\tidecharter\tmp\x", "/cygdrive/c/tidecharter/x")
// to the host file system under the drive root; other paths are returned
// unchanged.
std::string IOsHostPath(const std::string& path);
// The drive root: $TIDECHARTER_DRIVE_C, or the default for local builds.
std::string IOsDriveRoot();
// The running program's own file (a host path); empty when unknown.
std::string IOsProgramFile();
// True when a display is there for the dialogs (an X server that answers,
// Wayland, or Qt's offscreen platform); otherwise `reason` says what is
// missing.
bool IOsDisplayAvailable(std::string& reason);
// One program per drive root. True when this process holds the drive
// root's instance lock (from now until it ends); false when another process
// holds it, and `holder` (a fixed-length output text) then names it: its
// process id and host, and the drive root. Creates nothing in
// c:\tidecharter\tmp.
bool IOsSingleInstance(std::string& holder);

#endif
