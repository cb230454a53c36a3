#include "program/command_line.h"

#include "core/drive_setup.h"
#include "build_info.h"
#include "toolkit/toolkit.h"

namespace {

// "--out=DIR" or "--out DIR": the value, taking the next argument when
// needed; false when there is none.
bool optionvalue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
                 std::string& value) {
  const std::string& arg = args[i];
  if (arg.size() > name.size() && arg.compare(0, name.size() + 1, name + "=") == 0) {
    value = arg.substr(name.size() + 1);
    return true;
  }
  if (i + 1 >= args.size()) return false;
  value = args[++i];
  return true;
}

}  // namespace

CommandLine parsecommandline(const std::vector<std::string>& args) {
  CommandLine line;
  bool batch = false, out = false;
  auto wrong = [&line](const std::string& problem) {
    line.mode = CommandLine::Mode::Wrong;
    line.problem = problem;
    return line;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    auto is = [&arg](const std::string& name) { return arg == name || arg.rfind(name + "=", 0) == 0; };
    if (arg == "--help" || arg == "-h") {
      line.mode = CommandLine::Mode::Help;
      return line;
    } else if (arg == "--version") {
      line.mode = CommandLine::Mode::Version;
      return line;
    } else if (is("--batch")) {
      if (!optionvalue(args, i, "--batch", line.batch.requestFile) || line.batch.requestFile.empty())
        return wrong("--batch needs a request file");
      batch = true;
    } else if (is("--out")) {
      if (!optionvalue(args, i, "--out", line.batch.outDir) || line.batch.outDir.empty())
        return wrong("--out needs a directory");
      out = true;
    } else if (arg == "--check") {
      line.batch.check = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return wrong("unknown option " + arg);
    } else {
      return wrong("unexpected argument " + arg);
    }
  }
  if (!batch && (out || line.batch.check)) return wrong((out ? "--out" : "--check") + std::string(" needs --batch"));
  if (batch) line.mode = CommandLine::Mode::Batch;
  return line;
}

// The man page (packaging/tidecharter.1) says the same; change both.
std::string usagetext() {
  const std::string source = installationsource();
  return "Usage: tidecharter\n"
         "       tidecharter --batch REQUESTS.ini [--out DIR] [--check]\n"
         "       tidecharter --help | --version\n"
         "\n"
         "Without options, Tidecharter opens its main menu; it needs a display.\n"
         "On its first start it lays out the drive root (below) with the batch\n"
         "scripts, Ferret scripts and a sample data set; that takes under a minute.\n"
         "\n"
         "  --batch FILE  draw every picture that the request file FILE asks for, as\n"
         "                the plot dialogs' Create JPG would, without a display and\n"
         "                beside a running Tidecharter; each picture gets its Ferret\n"
         "                command file beside it, under its name with .jnl\n"
         "  --out DIR     write the pictures under DIR (default: FILE's directory)\n"
         "  --check       check FILE and say what would be drawn; draw nothing\n"
         "  -h, --help    show this text\n"
         "  --version     show the program's version\n"
         "\n"
         "The request file is INI, one [section] per picture, for example:\n"
         "  [salinity]\n"
         "  kind = map              ; map, section, time series, line or product\n"
         "  property = salinity     ; menu text, a unique prefix, or the item number\n"
         "  pressure = 0-500        ; P or U-L in dbar\n"
         "  region = 60S-25N 130E-250E\n"
         "  start = latest          ; YYYY-MM, latest or latest-N\n"
         "  output = salinity_{yyyy}{mm}.jpg   ; .jpg, .png, .pdf or .ps\n"
         "Other keys: plot, direction, location, end, land, vectors, fill;\n"
         "months = FIRST..LAST instead of start and end (a picture per month, or\n"
         "one .gif or .mp4 at speed = 1 to 10 frames a second); .jnl: the command\n"
         "file alone; .csv or .nc: the picture's data (with months and no month in\n"
         "the name, one file of all the months along time).\n" +
         (source.empty() ? "" : "The example bulletin: " + source + "/examples/bulletin.ini\n") +
         "\n"
         "Exit status: 0 when every picture was written (with --check: would be),\n"
         "1 otherwise, 2 for a wrong command line.\n"
         "Drive root: " + IOsDriveRoot() + " (TIDECHARTER_DRIVE_C)\n"
         "Installation: " + (source.empty() ? "not found" : source) + "\n"
         "More in the manual: man tidecharter\n";
}

std::string versiontext() { return "tidecharter " TIDECHARTER_VERSION "\n"; }
