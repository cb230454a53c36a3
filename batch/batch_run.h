// The batch run: every picture of a request file, drawn through the plot
// dialogs without showing them and without a display, beside the desktop
// program if it runs.
#ifndef TIDECHARTER_BATCH_BATCH_RUN_H
#define TIDECHARTER_BATCH_BATCH_RUN_H

#include <string>

struct BatchOptions {
  std::string requestFile;
  std::string outDir;  // empty: the request file's directory
  bool check = false;  // say what would be drawn, draw nothing
};

// Returns the exit status: 0 when every picture was written (with check:
// would be), 1 otherwise.
int batchmain(const BatchOptions& options);

#endif
