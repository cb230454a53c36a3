#include "app/notanoption.h"

#include "toolkit/toolkit.h"

void notanoption() {
  WMessageBox(0, 3, 1, "This combination is not an option.", "Not an option");
}
