#include "batch/product_frames.h"

#include <algorithm>
#include <cstdio>

#include "batch/batch_front_end.h"
#include "batch/fill_dialog.h"
#include "core/core_state.h"
#include "ferret/dates.h"
#include "plots/plot_common.h"
#include "plots/plot_kinds.h"
#include "toolkit/toolkit.h"

namespace fs = std::filesystem;

namespace {

std::string collapsed(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ' ' || (!out.empty() && out.back() != ' ')) out += c;
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

// A path as one word of a shell's command line: quoted when it holds
// anything but letters, digits and / . _ - + , : @ %.
std::string shellword(const std::string& path) {
  if (!path.empty() && path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789/._-+,:@%") == std::string::npos)
    return path;
  std::string quoted = "'";
  for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Comment lines heading a command file: enough to tell where it came from
// and to draw it again, in the host's own paths, and the levels every
// month of it shares.
std::vector<std::string> heading(const FrameContext& run, const Product& product, const fs::path& target,
                                 const std::string& levels) {
  const ProductRequest& p = *product.request;
  const CoreState& app = run.app;
  fs::path journal = target;
  journal.replace_extension(".jnl");
  const bool drawn = product.form == OutputForm::Picture || product.form == OutputForm::Animation;
  std::vector<std::string> lines = {
      "! " + target.string() + (drawn ? ", drawn" : ", written") + " by tidecharter --batch",
      "! request: " + fs::absolute(run.file.path).lexically_normal().string() + " [" + p.name + "]",
      "! data end dates: Argo " + compactdate(app.argoend) + ", Aviso " + compactdate(app.avisoend) +
          ", Reynolds " + compactdate(app.reynoldsend),
      "! program: Tidecharter " + collapsed(app.versiontext),
      "! draw it again: " + IOsHostPath("c:\\tidecharter\\bin\\tcferret.bat") + " " +
          shellword(journal.string()) + " (PostScript into " + IOsHostPath("c:\\tidecharter\\tmp") +
          ", named on the metafile line)"};
  if (!levels.empty()) lines.push_back("! levels " + levels);
  return lines;
}

// Where a picture would be written when the directories already there are
// followed: a symbolic link must not lead it out of the output directory.
// Returns the problem, or "".
std::string leadsout(const fs::path& base, const fs::path& picture) {
  std::error_code ignored, error, baseError;
  fs::path there = picture.parent_path();
  while (there != base && there.has_relative_path() &&
         fs::symlink_status(there, ignored).type() == fs::file_type::not_found)
    there = there.parent_path();
  const fs::path real = fs::weakly_canonical(there, error);
  const fs::path realBase = fs::weakly_canonical(base, baseError);
  const fs::path inside = real.lexically_relative(realBase);
  if (error || baseError || inside.empty() || *inside.begin() == "..")
    return there.string() + " leads out of the output directory " + base.string();
  return "";
}

// The output file of a month; false, with the problem in `errors`, when it
// would leave the output directory.
bool place(const FrameContext& run, const std::string& output, int month, fs::path& target, std::string& shown,
           std::vector<std::string>& errors) {
  const std::string name = expandoutput(output, month);
  target = (run.base / name).lexically_normal();
  shown = (run.shownBase / name).lexically_normal().string();
  const std::string out = leadsout(run.base, target);
  if (!out.empty()) errors.push_back("output: " + shown + ": " + out);
  return out.empty();
}

MonthChoice monthof(int index) {
  MonthChoice m;
  m.given = true;
  m.year = 2004 + (index - 1) / 12;
  m.month = (index - 1) % 12 + 1;
  return m;
}

// Presses Create JPG in the filled dialog of `request` with the frame's
// command file and heading; returns the refusals.
std::vector<std::string> press(FrameContext& run, const ProductRequest& request, Frame& frame,
                               const std::vector<std::string>& lines) {
  std::vector<std::string> errors;
  run.front.begin(frame.commandFile.string(), lines);
  pressplot(run.app, request);
  for (const UserMessage& m : run.front.refusals()) errors.push_back(m.title + ": " + messagetext(m, ' ', true));
  if (!run.front.ready() && errors.empty())
    errors.push_back("no command file could be written in " + run.work.string());
  return errors;
}

// The section with one month as its start and end (`month` 0: as written),
// and the fill given.
ProductRequest monthrequest(const ProductRequest& p, int month, const std::string& fill) {
  ProductRequest one = p;
  if (month > 0) {
    one.first.given = false;
    one.start = one.end = monthof(month);
  }
  if (!fill.empty()) {
    one.fillGiven = true;
    one.fill = fill;
  }
  return one;
}

// One frame, the `position`th: the dialog filled for its month, the
// command file written.
std::vector<std::string> prepareframe(FrameContext& run, Product& product, int month, int position,
                                      const std::string& levels, Frame& frame) {
  const ProductRequest& p = *product.request;
  const ProductRequest one = monthrequest(p, month, levels);
  const FilledDialog filled = filldialog(run.app, one, run.unknownEnds);
  if (!filled.errors.empty()) {
    dropdialog(p);
    return filled.errors;
  }
  std::vector<std::string> errors;
  frame.month = filled.startIndex;
  if (product.joined()) {
    char name[24];
    std::snprintf(name, sizeof name, product.form == OutputForm::Animation ? "f%04d.png" : "m%04d", position);
    frame.target = product.frameDirectory / name;
    frame.shown = datetext(month);
  } else if (!place(run, p.output, frame.month, frame.target, frame.shown, errors)) {
    dropdialog(p);
    return errors;
  }
  if (frame.commandFile.empty()) {
    ++run.commandFiles;
    frame.commandFile = run.work / (std::to_string(run.commandFiles) + ".jnl");
    frame.log = run.work / (std::to_string(run.commandFiles) + ".log");
  }
  const std::string shared = levels.empty() && p.first.given && p.fillGiven ? p.fill : levels;
  return press(run, one, frame, heading(run, product, frame.target, shared));
}

// The dialog's refusal of a month as the section's: "start: Jan 2016 ..."
// is said of months.
void refusemonths(Product& product, const RequestFile& file, const std::vector<std::string>& errors) {
  for (std::string e : errors) {
    for (const char* key : {"start: ", "end: "})
      if (e.compare(0, std::string(key).size(), key) == 0) e = "months: " + e.substr(std::string(key).size());
    e = productmessage(file, *product.request, e);
    if (std::find(product.errors.begin(), product.errors.end(), e) == product.errors.end())
      product.errors.push_back(e);
  }
}

}  // namespace

void prepareproduct(FrameContext& run, Product& product) {
  const ProductRequest& p = *product.request;
  if (!p.first.given) {
    Frame frame;
    std::vector<std::string> errors = prepareframe(run, product, 0, 1, "", frame);
    for (const std::string& e : errors) product.errors.push_back(productmessage(run.file, p, e));
    if (errors.empty()) product.frames.push_back(frame);
    return;
  }

  // The range as the dialog reads it (latest is the property's end).
  ProductRequest range = p;
  range.first.given = false;
  range.start = p.first;
  range.end = p.last;
  const FilledDialog filled = filldialog(run.app, range, run.unknownEnds);
  dropdialog(p);
  if (!filled.errors.empty()) return refusemonths(product, run.file, filled.errors);
  if (!p.kind->monthframes || !p.kind->monthframes(filled.property, filled.plotType))
    return refusemonths(product, run.file,
                        {"months: this plot has time on an axis, so there is no month to step through; months are "
                         "for maps, sections and the products' maps"});
  const int first = filled.startIndex, last = filled.endIndex;
  if (first > last)
    return refusemonths(product, run.file,
                        {"Input error: Please enter End date either equal to or greater than Start date."});

  if (product.joined()) {
    std::vector<std::string> errors;
    if (!place(run, p.output, first, product.animation, product.shownAnimation, errors))
      return refusemonths(product, run.file, errors);
    product.frameDirectory = run.work / ("frames" + std::to_string(run.commandFiles + 1));
  }
  product.frames.resize(last - first + 1);
  // The ends first: a range beyond the data is refused at once.
  std::vector<int> order = {last};
  if (first != last) order.push_back(first);
  for (int m = first + 1; m < last; ++m) order.push_back(m);
  for (int month : order) {
    const std::vector<std::string> errors =
        prepareframe(run, product, month, month - first + 1, "", product.frames[month - first]);
    if (!errors.empty()) {
      product.frames.clear();
      return refusemonths(product, run.file, errors);
    }
  }
}

bool takeslevels(FrameContext& run, const Product& product) {
  const ProductRequest probe = monthrequest(*product.request, product.frames.front().month, "(0,1,1)");
  const FilledDialog filled = filldialog(run.app, probe, run.unknownEnds);
  dropdialog(probe);
  return filled.errors.empty();
}

bool presslevels(FrameContext& run, Product& product, const std::string& levels) {
  for (std::size_t i = 0; i < product.frames.size(); ++i) {
    Frame& frame = product.frames[i];
    const std::vector<std::string> errors =
        prepareframe(run, product, frame.month, static_cast<int>(i) + 1, levels, frame);
    if (!errors.empty()) {
      product.frames.clear();
      refusemonths(product, run.file, errors);
      return false;
    }
  }
  product.levels = levels;
  return true;
}
