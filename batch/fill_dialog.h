// A request put into its parameter dialog as a user would put it: the
// property first, then the other fields, each round followed by the
// dialog's own field procedure; then Create JPG pressed, which runs the
// kind's real plot procedure.
#ifndef TIDECHARTER_BATCH_FILL_DIALOG_H
#define TIDECHARTER_BATCH_FILL_DIALOG_H

#include <string>
#include <vector>

#include "batch/request_file.h"

struct CoreState;

struct FilledDialog {
  int startIndex = 0, endIndex = 0;  // the start and end months the dialog holds
  int property = 0, plotType = 0;    // their menus' items
  std::vector<std::string> errors;  // "key: what is wrong; what is accepted"
};

// Loads the request's dialog afresh (it is the current dialog afterwards)
// and fills it; `latest` comes from the end dates in `app`, except for the
// data sets named in `unknownEnds` ("Argo", "Aviso", "Reynolds").
FilledDialog filldialog(CoreState& app, const ProductRequest& request,
                        const std::vector<std::string>& unknownEnds);

// Presses Create JPG in the filled dialog, then unloads it.
void pressplot(CoreState& app, const ProductRequest& request);

// Unloads the request's dialog without pressing anything.
void dropdialog(const ProductRequest& request);

#endif
