// The toolkit's five error slots, read by InfoError. Every toolkit
// operation that fails records its code here instead of stopping.
#ifndef TIDECHARTER_TOOLKIT_ERROR_SLOTS_H
#define TIDECHARTER_TOOLKIT_ERROR_SLOTS_H

namespace toolkit {

// Slot 1: the code of the last recorded error.
void RecordError(int code);
// Slot 2: the operating-system code of the last failed file operation
// (slot 5 receives `kind`).
void RecordFileError(int osCode, int kind);
// Slot 3: the operating-system code of the last failed program start.
void RecordStartError(int osCode);
// Clears every slot and sets the reporting mode (slot 4).
void ResetErrors(int reportingMode = 0);

}  // namespace toolkit

#endif
