// Internal to the toolkit: how dialogs and timers hand their messages to
// WMessage, and the few shared services of the window part.
#ifndef TIDECHARTER_TOOLKIT_MESSAGE_HUB_H
#define TIDECHARTER_TOOLKIT_MESSAGE_HUB_H

#include "toolkit/toolkit.h"

class QWidget;

namespace toolkit {

// A message that has arisen. It is dropped when its type is disabled or
// when the application is not waiting in WMessage.
void DeliverMessage(int type, const MessageRecord& record);

// Creates the application object on first use, so that every entry point
// that needs windows works even before WInitialise.
void EnsureInitialised();

// True after WInitialiseHeadless: nothing may wait for a user.
bool Headless();

// The root window of WindowOpen, or nullptr.
QWidget* RootWindow();

// The bell, counted so that tests can see it ring.
void Bell();
int BellCount();

}  // namespace toolkit

#endif
