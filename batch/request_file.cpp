#include "batch/request_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "ferret/dates.h"
#include "plots/plot_kinds.h"

namespace {

std::string trim(const std::string& text) {
  const char* blanks = " \t\r";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Lower case with runs of blanks made one.
std::string folded(const std::string& text) {
  std::string out;
  for (char c : trim(text)) {
    if (c == ' ' || c == '\t') {
      if (!out.empty() && out.back() != ' ') out += ' ';
    } else {
      out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
  }
  return out;
}

std::string joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

std::string quote(const std::string& text) { return '"' + text + '"'; }

// A value without the comment a blank and ";" or "#" start after it.
std::string withoutcomment(const std::string& value) {
  for (std::size_t i = 1; i < value.size(); ++i)
    if ((value[i] == ';' || value[i] == '#') && (value[i - 1] == ' ' || value[i - 1] == '\t'))
      return trim(value.substr(0, i));
  return trim(value);
}

struct Entry {
  std::string key, value;
  int line = 0;
};

struct Section {
  std::string name;
  int line = 0;
  std::vector<Entry> entries;
};

const char* kPlaceholders = "{yyyy}, {mm} or {mon}";

bool parsemonth(const std::string& text, MonthChoice& month) {
  static const std::regex absolute(R"((\d{4})-(\d{1,2}))");
  static const std::regex latest(R"(latest(?:\s*-\s*(\d{1,3}))?)", std::regex::icase);
  std::smatch m;
  if (std::regex_match(text, m, absolute)) {
    month.year = std::stoi(m[1]);
    month.month = std::stoi(m[2]);
    if (month.month < 1 || month.month > 12) return false;
  } else if (std::regex_match(text, m, latest)) {
    month.latest = true;
    month.before = m[1].matched ? std::stoi(m[1]) : 0;
  } else {
    return false;
  }
  month.given = true;
  return true;
}

// One or two edges such as "60S-25N" or "140W"; `letters` the hemisphere
// letters allowed, `limit` the largest value.
bool parseedges(const std::string& text, const char* letters, float limit, Edge& first, Edge& second) {
  static const std::regex edges(R"((\d+(?:\.\d*)?|\.\d+)\s*([A-Za-z])(?:\s*-\s*(\d+(?:\.\d*)?|\.\d+)\s*([A-Za-z]))?)");
  std::smatch m;
  if (!std::regex_match(text, m, edges)) return false;
  auto edge = [&](int value, int letter, Edge& e) {
    e.value = std::stof(m[value]);
    const std::string written = m[value];
    e.decimals = written.find('.') == std::string::npos ? 0 : static_cast<int>(written.size() - written.find('.') - 1);
    e.hemisphere = static_cast<char>(std::toupper(static_cast<unsigned char>(m[letter].str()[0])));
    return std::strchr(letters, e.hemisphere) != nullptr && e.value <= limit;
  };
  if (!edge(1, 2, first)) return false;
  if (!m[3].matched) {
    second = first;
    return true;
  }
  return edge(3, 4, second);
}

bool parseregion(const std::string& text, RegionChoice& region) {
  static const std::regex parts(R"(\s*(\S+(?:\s*-\s*\S+)?)\s+(\S+(?:\s*-\s*\S+)?)\s*)");
  std::smatch m;
  if (!std::regex_match(text, m, parts)) return false;
  if (!parseedges(m[1], "NS", 90.0f, region.south, region.north)) return false;
  if (!parseedges(m[2], "EW", 400.0f, region.west, region.east)) return false;
  region.given = true;
  return true;
}

// Empty when the output name is good, else what is wrong with it.
std::string outputproblem(const std::string& output) {
  const std::string name = output.substr(output.find_last_of('/') + 1);
  const std::size_t dot = name.find_last_of('.');
  std::string extension = dot == std::string::npos ? "" : folded(name.substr(dot));
  static const char* const formats[] = {".jpg", ".png", ".pdf", ".ps", ".gif", ".mp4", ".jnl", ".csv", ".nc"};
  if (dot == 0 || std::find(std::begin(formats), std::end(formats), extension) == std::end(formats))
    return "the extension picks the format: .jpg, .png, .pdf or .ps, .gif or .mp4 for an animation, "
           ".jnl for the command file alone, .csv or .nc for the picture's data";
  for (std::size_t open = output.find('{'); open != std::string::npos; open = output.find('{', open + 1)) {
    const std::size_t close = output.find('}', open);
    const std::string word = close == std::string::npos ? "" : output.substr(open, close - open + 1);
    if (word != "{yyyy}" && word != "{mm}" && word != "{mon}")
      return quote(output.substr(open, close == std::string::npos ? 1 : close - open + 1)) +
             " is not a placeholder; " + kPlaceholders;
  }
  if (output.find('}') != std::string::npos && output.find('{') == std::string::npos)
    return "a \"}\" without \"{\"; placeholders are " + std::string(kPlaceholders);
  // Pictures go only into the output directory (--out), subdirectories
  // included; the .jnl beside a picture would otherwise overwrite any
  // .jnl the user can write, the installation's own scripts among them.
  const std::filesystem::path path(output);
  if (path.is_absolute()) return "must be a name inside the output directory, not an absolute path";
  const std::filesystem::path normal = path.lexically_normal();
  if (!normal.empty() && *normal.begin() == "..") return "must stay inside the output directory, without \"..\"";
  return "";
}

void readsection(const Section& section, ProductRequest& p) {
  auto fault = [&p](const std::string& text) { p.errors.push_back(text); };
  if (section.entries.empty()) {
    fault("empty section: give at least its kind and output");
    return;
  }
  std::map<std::string, const Entry*> byKey;
  for (const Entry& e : section.entries) {
    if (byKey.count(e.key)) fault("key " + quote(e.key) + " given twice (lines " +
                                  std::to_string(byKey[e.key]->line) + " and " + std::to_string(e.line) + ")");
    byKey[e.key] = &e;
  }

  std::vector<std::string> kindNames;
  for (const PlotKind& k : plotkinds()) kindNames.push_back(k.batchName);
  const PlotKind* kind = nullptr;
  if (!byKey.count("kind")) {
    fault("no kind: one of " + joined(kindNames));
  } else {
    for (const PlotKind& k : plotkinds())
      if (folded(byKey["kind"]->value) == k.batchName) kind = &k;
    if (!kind) fault("kind: " + quote(byKey["kind"]->value) + " is not a kind; one of " + joined(kindNames));
  }
  if (!kind) return;
  p.kind = kind;

  for (const Entry& e : section.entries) {
    if (std::find(kind->batchKeys.begin(), kind->batchKeys.end(), e.key) != kind->batchKeys.end()) continue;
    if (e.key == "months" && !kind->monthframes) {
      fault(std::string("months: ") + kind->article + " has time on an axis, so there is no month to step through; "
            "months are for maps, sections and the products' maps");
      continue;
    }
    bool known = false;
    for (const PlotKind& k : plotkinds())
      known = known || std::find(k.batchKeys.begin(), k.batchKeys.end(), e.key) != k.batchKeys.end();
    fault((known ? quote(e.key) + " is not a key of " + kind->article : "unknown key " + quote(e.key)) + "; " +
          kind->article + " takes " + joined(kind->batchKeys));
  }

  auto value = [&byKey](const char* key) -> const std::string* {
    const auto it = byKey.find(key);
    return it == byKey.end() ? nullptr : &it->second->value;
  };
  auto choice = [&](const char* key, std::string& target, const char* accepted) {
    if (const std::string* v = value(key)) {
      if (v->empty()) fault(std::string(key) + ": empty; " + accepted);
      target = *v;
    }
  };
  choice("property", p.property, "the property menu's text, a prefix of it or its item number");
  choice("plot", p.plot, "the plot menu's text, a prefix of it or its item number");
  choice("direction", p.direction, "north-south or east-west");
  choice("land", p.land, "the land menu's text, a prefix of it or its item number");
  choice("location", p.location, "a location name of the location table");

  if (const std::string* v = value("pressure")) {
    static const std::regex pressure(R"((\d{1,5}(?:\.\d{1,3})?)(?:\s*-\s*(\d{1,5}(?:\.\d{1,3})?))?)");
    std::smatch m;
    if (std::regex_match(*v, m, pressure)) {
      p.pressureGiven = true;
      p.upper = std::stoi(m[1]);
      p.lower = m[2].matched ? std::stoi(m[2]) : p.upper;
      p.upperText = m[1];
      p.lowerText = m[2].matched ? m[2].str() : p.upperText;
    } else {
      fault("pressure: " + quote(*v) + " is not a pressure; P or U-L in dbar, such as 500 or 0-500");
    }
  }
  if (const std::string* v = value("region")) {
    if (!parseregion(*v, p.region))
      fault("region: " + quote(*v) +
            " is not a region; south-north west-east such as 60S-25N 130E-250E (latitudes to 90, "
            "longitudes to 400), or one latitude or longitude for both ends, as in 60S-65N 140W");
  }
  if (p.region.given && !p.location.empty()) fault("region and location: give one of them, not both");
  for (auto [key, month] : {std::pair{"start", &p.start}, {"end", &p.end}}) {
    if (const std::string* v = value(key))
      if (!parsemonth(*v, *month)) fault(std::string(key) + ": " + quote(*v) + " is not a month; YYYY-MM, latest or latest-N");
  }
  if (const std::string* v = value("months")) {
    static const std::regex range(R"((.+?)\s*\.\.\s*(.+))");
    std::smatch m;
    if (!std::regex_match(*v, m, range) || !parsemonth(m[1], p.first) || !parsemonth(m[2], p.last)) {
      p.first.given = false;
      fault("months: " + quote(*v) + " is not a range of months; FIRST..LAST, each YYYY-MM, latest or latest-N");
    } else if (p.start.given || p.end.given) {
      fault("months and start or end: give months alone, or start and end");
    }
  }
  if (const std::string* v = value("speed")) {
    static const std::regex speed(R"(\d{1,2})");
    if (std::regex_match(*v, speed) && std::stoi(*v) >= 1 && std::stoi(*v) <= 10)
      p.speed = std::stoi(*v);
    else
      fault("speed: " + quote(*v) + " is not a speed; 1 to 10 frames a second");
  }
  if (const std::string* v = value("vectors")) {
    std::istringstream words(*v);
    std::string extra;
    if (words >> p.vectorX >> p.vectorY && !(words >> extra))
      p.vectorsGiven = true;
    else
      fault("vectors: " + quote(*v) + " is not X Y; two densities of the vector menus, such as 2 2");
  }
  if (const std::string* v = value("fill")) {
    p.fillGiven = true;
    if (folded(*v) != "default") p.fill = *v;
    if (p.fill.empty() && folded(*v) != "default")
      fault("fill: empty; default, or levels such as (8,22,2)(22,32,1)");
    else if (p.fill.size() > 44)
      fault("fill: " + quote(*v) + " is longer than the dialog's 44 characters");
  }
  if (const std::string* v = value("output")) {
    p.output = *v;
    std::string problem = outputproblem(*v);
    const OutputForm form = problem.empty() ? outputform(*v, p.first.given) : OutputForm::Picture;
    const bool dated = v->find("{yyyy}") != std::string::npos &&
                       (v->find("{mm}") != std::string::npos || v->find("{mon}") != std::string::npos);
    if (problem.empty() && form == OutputForm::Animation && !p.first.given)
      problem = "an animation needs months = FIRST..LAST";
    else if (problem.empty() && form == OutputForm::Series && v->find('{') != std::string::npos)
      problem = "one data file of all the months has no month in its name; give {yyyy} and {mm} or {mon} for "
                "one file per month";
    else if (problem.empty() && form != OutputForm::Animation && form != OutputForm::Series && p.first.given &&
             !dated)
      problem = "one file per month needs {yyyy} and {mm} or {mon} in its name (or .gif or .mp4 for one "
                "animation, .csv or .nc for one data file of all the months)";
    if (!problem.empty()) fault("output: " + quote(*v) + ": " + problem);
    if (value("speed") && problem.empty() && form != OutputForm::Animation)
      fault("speed: only an animation (a .gif or .mp4 output) has a speed");
  } else {
    fault("no output: the picture's file name, such as map_{yyyy}{mm}.jpg");
  }
}

}  // namespace

std::string productmessage(const RequestFile& file, const ProductRequest& product,
                           const std::string& text) {
  return file.path + " [" + product.name + "]: " + text;
}

RequestFile readrequestfile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    RequestFile file;
    file.path = path;
    file.errors.push_back(path + ": cannot be read: " + std::strerror(errno));
    return file;
  }
  return parserequestfile(path, in);
}

RequestFile parserequestfile(const std::string& path, std::istream& in) {
  RequestFile file;
  file.path = path;
  auto fault = [&file](const std::string& text) { file.errors.push_back(file.path + ": " + text); };

  std::vector<Section> sections;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.find('\0') != std::string::npos) {
      fault("not an INI file (line " + std::to_string(number) + " holds binary data)");
      return file;
    }
    if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);  // a UTF-8 mark
    const std::string text = trim(line);
    if (text.empty() || text[0] == ';' || text[0] == '#') continue;
    if (text.front() == '[' && text.back() == ']' && !trim(text.substr(1, text.size() - 2)).empty()) {
      sections.push_back(Section{trim(text.substr(1, text.size() - 2)), number, {}});
      continue;
    }
    const std::size_t equals = text.find('=');
    if (equals != std::string::npos && equals > 0 && !sections.empty()) {
      sections.back().entries.push_back(
          Entry{folded(text.substr(0, equals)), withoutcomment(text.substr(equals + 1)), number});
      continue;
    }
    const std::string shown = text.size() > 60 ? text.substr(0, 60) + "..." : text;
    fault("not an INI file: line " + std::to_string(number) + " is " +
          (equals != std::string::npos && equals > 0 ? "a key = value before any [section]: "
                                                     : "neither a [section] nor a key = value: ") +
          quote(shown));
    return file;
  }
  if (sections.empty()) {
    fault("no [section] in it: nothing to draw");
    return file;
  }

  for (const Section& s : sections) {
    ProductRequest p;
    p.name = s.name;
    p.line = s.line;
    for (const Section& other : sections)
      if (&other != &s && other.name == s.name)
        p.errors.push_back("the section appears more than once (lines " + std::to_string(s.line) + " and " +
                           std::to_string(other.line) + ")");
    readsection(s, p);
    for (std::string& e : p.errors) e = productmessage(file, p, e);
    file.products.push_back(std::move(p));
  }
  return file;
}

OutputForm outputform(const std::string& output, bool months) {
  const std::size_t dot = output.find_last_of('.');
  const std::string extension = dot == std::string::npos ? "" : folded(output.substr(dot));
  if (extension == ".gif" || extension == ".mp4") return OutputForm::Animation;
  if (extension == ".jnl") return OutputForm::CommandFile;
  if (extension == ".csv" || extension == ".nc") {
    const bool dated = output.find("{yyyy}") != std::string::npos &&
                       (output.find("{mm}") != std::string::npos || output.find("{mon}") != std::string::npos);
    return months && !dated ? OutputForm::Series : OutputForm::Data;
  }
  return OutputForm::Picture;
}

std::string expandoutput(const std::string& output, int monthIndex) {
  std::string date(8, ' '), monthname(9, ' '), numtext(6, ' ');
  int year = 0;
  writedate(monthIndex, date, monthname, year, numtext);
  const std::pair<const char*, std::string> words[] = {
      {"{yyyy}", std::to_string(year)}, {"{mm}", numtext.substr(0, 2)}, {"{mon}", date.substr(0, 3)}};
  std::string out = output;
  for (const auto& [word, text] : words)
    for (std::size_t at = out.find(word); at != std::string::npos; at = out.find(word, at + text.size()))
      out.replace(at, std::strlen(word), text);
  return out;
}
